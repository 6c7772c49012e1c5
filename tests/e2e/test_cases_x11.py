"""The cases of behaviours.py on X11: Xorg with dummy monitors."""
import unittest

from behaviours import Behaviours
from drivers import X11


class OnX11(Behaviours, unittest.TestCase):
    driver = X11


if __name__ == "__main__":
    unittest.main()
