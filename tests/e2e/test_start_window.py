"""The start window as the user first sees it, and every way of ending the program."""

import os
import tempfile
import unittest

from harness import Client, Display, binary

TITLE = "Quorvel查题工具---无限制查题---服务器渣各位大佬轻点用   Nelmor：doranvik"
CENTRED = ((1280 - 670) // 2, (1024 - 437) // 2)


class WithoutWindowManager(unittest.TestCase):
    def setUp(self):
        self.display = Display().__enter__()
        self.addCleanup(self.display.__exit__, None, None, None)
        self.client = Client(self.display, binary("CHATI_BIN"))
        self.addCleanup(self.client.close)
        self.client.wait_for_window()

    def test_title_size_and_centred_position(self):
        self.assertEqual(self.display.xdotool("getwindowname", self.client.window).strip(), TITLE)
        self.assertEqual(self.client.geometry(), (*CENTRED, 670, 437))

    def test_current_directory_is_the_program_folder(self):
        folder = os.path.dirname(os.path.realpath(binary("CHATI_BIN")))
        self.assertEqual(os.readlink(f"/proc/{self.client.proc.pid}/cwd"), folder)
        self.assertNotEqual(folder, tempfile.gettempdir())

    def test_empty_page_and_label_drawn_over_the_window_background(self):
        x, y, _, _ = self.client.geometry()
        white = (255, 255, 255)
        self.assertEqual(self.display.pixel(x + 8 + 324, y + 48 + 176), white)  # about:blank
        face = self.display.pixel(x + 4, y + 4)
        self.assertNotEqual(face, white)
        # The label has no background of its own: between its glyphs is the window's colour.
        self.assertEqual(self.display.pixel(x + 9, y + 9), face)
        self.assertEqual(self.display.pixel(x + 55, y + 24), face)
        glyph_rows = [yy for yy in range(y + 8, y + 40)
                      if any(self.display.pixel(xx, yy) != face for xx in range(x + 8, x + 24))]
        self.assertTrue(glyph_rows, "no glyph drawn in the label")
        # One 16-pixel line, centred in the 32-pixel label.
        middle = (glyph_rows[0] + glyph_rows[-1]) / 2 - y
        self.assertAlmostEqual(middle, 24, delta=3)

    def test_escape_ends_with_status_0(self):
        self.client.key("Escape")
        self.assertEqual(self.client.wait_exit(), 0)

    def test_escape_on_the_button_ends_with_status_0(self):
        self.client.key("Tab", "Escape")
        self.assertEqual(self.client.wait_exit(), 0)


class WithWindowManager(unittest.TestCase):
    def setUp(self):
        self.display = Display(window_manager=True).__enter__()
        self.addCleanup(self.display.__exit__, None, None, None)
        self.client = Client(self.display, binary("CHATI_BIN"))
        self.addCleanup(self.client.close)
        self.client.wait_for_window()

    def test_framed_window_is_centred_at_its_outer_size(self):
        self.assertEqual(self.client.geometry(frame=True), (*CENTRED, 670, 437))

    def test_alt_f4_ends_with_status_0(self):
        self.client.key("alt+F4")
        self.assertEqual(self.client.wait_exit(), 0)

    def test_close_button_ends_with_status_0(self):
        # Openbox's close button sits at the right end of the title bar.
        x, y, w, _ = self.client.geometry(frame=True)
        self.display.xdotool("mousemove", str(x + w - 12), str(y + 10), "click", "1")
        self.assertEqual(self.client.wait_exit(), 0)

    def test_window_cannot_be_resized(self):
        self.display.xdotool("windowsize", self.client.window, "900", "700")
        self.assertEqual(self.client.geometry(frame=True)[2:], (670, 437))


if __name__ == "__main__":
    unittest.main()
