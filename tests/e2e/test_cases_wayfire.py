"""The cases of behaviours.py on headless Wayfire."""
import unittest

from behaviours import Behaviours
from drivers import WayfireDriver


class OnWayfire(Behaviours, unittest.TestCase):
    driver = WayfireDriver


if __name__ == "__main__":
    unittest.main()
