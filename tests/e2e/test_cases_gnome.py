"""The cases of behaviours.py on headless GNOME Shell 48 with Pellmar's extension."""
import unittest

from behaviours import Behaviours
from drivers import GnomeDriver


class OnGnome(Behaviours, unittest.TestCase):
    driver = GnomeDriver


if __name__ == "__main__":
    unittest.main()
