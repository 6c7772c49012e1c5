"""The cases of behaviours.py on headless sway."""
import unittest

from behaviours import Behaviours
from drivers import SwayDriver


class OnSway(Behaviours, unittest.TestCase):
    driver = SwayDriver


if __name__ == "__main__":
    unittest.main()
