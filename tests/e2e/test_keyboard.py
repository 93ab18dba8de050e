"""Focus and keyboard rules of the start window: the first focus, the Tab cycle in both directions
through the page, Enter without effect, F1 without help. The page served reports every key it gets,
so the tests see where the keyboard focus is."""

import unittest

from lookup_fixture import LookupTestCase


class KeyboardRules(LookupTestCase):
    def setUp(self):
        super().setUp()
        self.client.wait_for_window()

    def load_page_with_two_links(self):
        self.client.click_query()
        self.expect_request("")
        self.client.click(300, 24)  # back to the edit box

    def test_typing_goes_to_the_edit_box_at_once(self):
        self.client.type("abc")
        self.client.click_query()
        self.expect_request("abc")

    def test_tab_cycles_edit_box_button_page_and_back(self):
        self.load_page_with_two_links()
        self.client.type("a")
        self.client.key("Tab", "space")  # the button
        self.expect_request("a")
        self.client.key("Tab", "x")  # the page
        self.expect_page_key("x")
        self.client.key("Tab", "Tab")  # its two links
        self.expect_page_key("Tab")
        self.expect_page_key("Tab")
        self.client.key("Tab")  # past its last link: the edit box, exactly once
        self.expect_page_key("Tab")  # the page saw it go by and gave it up
        self.client.wait_for_edit_box_focus()
        self.client.key("End", "b")
        self.client.key("Tab", "space")
        self.expect_request("ab")
        self.assertTrue(self.server.keys.empty(), "keys after the Tab out reached the page")

    def test_shift_tab_cycles_the_other_way(self):
        self.load_page_with_two_links()
        self.client.type("q")
        self.client.key("shift+Tab", "y")  # the page
        self.expect_page_key("y")
        self.client.key("shift+Tab", "shift+Tab", "shift+Tab")  # its links, then out: the button
        self.client.key("space")
        self.expect_request("q")

    def test_tab_through_an_empty_page_returns_to_the_edit_box(self):
        self.client.type("e")
        self.client.key("Tab", "Tab", "Tab")
        self.client.wait_for_edit_box_focus()
        self.client.key("End", "f")
        self.client.key("Tab", "space")
        self.expect_request("ef")

    def test_enter_does_nothing_in_the_edit_box_or_on_the_button(self):
        self.client.type("abc")
        self.client.key("Return")
        self.client.key("Tab", "Return", "KP_Enter")
        self.expect_no_request()
        self.assertIsNone(self.client.proc.poll())

    def test_f1_does_nothing(self):
        self.client.key("F1")
        self.client.type("z")
        self.client.click_query()
        self.expect_request("z")
        self.assertEqual(self.display.xdotool("search", "--onlyvisible", "--classname", "chati").split(),
                         [self.client.window])


class FocusAfterActivation(LookupTestCase):
    window_manager = True

    def test_the_control_that_had_the_focus_gets_it_back(self):
        self.client.wait_for_window()
        self.client.type("back")
        self.client.key("Tab")  # the button
        other = self.start_client()
        other.wait_for_window()  # another window now active
        self.assertNotEqual(other.window, self.client.window)
        self.display.xdotool("windowactivate", "--sync", self.client.window)
        self.client.key("space")
        self.expect_request("back")


if __name__ == "__main__":
    unittest.main()
