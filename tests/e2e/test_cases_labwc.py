"""The cases of behaviours.py on headless labwc."""
import unittest

from behaviours import Behaviours
from drivers import LabwcDriver


class OnLabwc(Behaviours, unittest.TestCase):
    driver = LabwcDriver


if __name__ == "__main__":
    unittest.main()
