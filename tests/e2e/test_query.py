"""Pressing 查询 sends the typed question, as it stands, to the lookup host, and shows the page."""

import time
import unittest

from lookup_fixture import LookupTestCase
from recording_server import RecordingServer

GREEN = (0, 192, 0)  # the recording server's page


class Query(LookupTestCase):
    def setUp(self):
        super().setUp()
        self.client.wait_for_window()

    def page_pixel(self):
        x, y, _, _ = self.client.geometry()
        return self.display.pixel(x + 8 + 324, y + 48 + 250)

    def test_questions_reach_the_server_as_typed(self):
        # The engine, not the program, decides how the URL is sent: non-ASCII as UTF-8 escapes,
        # spaces as %20, & as it stands, nothing after #, a bare % left alone.
        cases = [
            ("abc", "abc"),
            ("", ""),
            ("a b", "a%20b"),
            ("x&y=1", "x&y=1"),
            ("a#frag", "a"),
            ("100%", "100%"),
            ("1+1", "1+1"),
            ("中文", "%E4%B8%AD%E6%96%87"),
        ]
        for typed, sent in cases:
            with self.subTest(typed=typed):
                self.set_question(typed)
                self.client.click_query()
                self.expect_request(sent)

    def test_each_click_sends_a_request_and_shows_the_page(self):
        self.client.type("same")
        self.client.click_query()
        self.expect_request("same")
        self.client.click_query()
        self.expect_request("same")
        time.sleep(0.5)
        self.assertEqual(self.page_pixel(), GREEN)

    def test_space_on_the_button_sends_enter_in_the_edit_box_does_not(self):
        self.client.type("kb")
        self.client.key("Return")
        self.expect_no_request()
        self.client.key("Tab", "space")
        self.expect_request("kb")

    def test_server_down_then_back(self):
        self.server.close()
        self.client.type("down")
        self.client.click_query()
        time.sleep(1.5)
        self.assertIsNone(self.client.proc.poll(), "the client ended")
        self.assertNotEqual(self.page_pixel(), GREEN)
        self.server = RecordingServer(self.port)
        self.addCleanup(self.server.close)
        self.client.click_query()
        self.expect_request("down")
        time.sleep(0.5)
        self.assertEqual(self.page_pixel(), GREEN)


if __name__ == "__main__":
    unittest.main()
