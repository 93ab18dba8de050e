"""A display, the recording lookup server on the end-to-end port, and the client asking it."""

import os
import unittest

from harness import Client, Display, binary
from recording_server import RecordingServer


class LookupTestCase(unittest.TestCase):
    window_manager = False

    def setUp(self):
        self.port = int(os.environ.get("CHATI_E2E_LOOKUP_PORT", "47311"))
        self.server = RecordingServer(self.port)
        self.addCleanup(self.server.close)
        self.display = Display(self.window_manager).__enter__()
        self.addCleanup(self.display.__exit__, None, None, None)
        self.client = self.start_client()

    def start_client(self, env=None):
        client = Client(self.display, binary("CHATI_E2E_BIN"), env=env)
        self.addCleanup(client.close)
        return client

    def expect_request(self, query):
        self.assertEqual(self.server.next_request(), f"GET /tmbx/qutimu.php?w={query} HTTP/1.1")

    def expect_no_request(self):
        self.assertTrue(self.server.no_request(), "a request was sent")

    def expect_page_key(self, key):
        self.assertEqual(self.server.keys.get(timeout=10), key)

    def set_question(self, text):
        self.client.click(300, 24)
        self.client.key("ctrl+a", "BackSpace")
        if text:
            self.client.type(text)
