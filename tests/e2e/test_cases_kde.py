"""The cases of behaviours.py on headless KWin 6, with the installed
Pellmar."""
import unittest

from behaviours import Behaviours
from drivers import KdeDriver


class OnKde(Behaviours, unittest.TestCase):
    driver = KdeDriver


if __name__ == "__main__":
    unittest.main()
