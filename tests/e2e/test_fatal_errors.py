"""Fatal conditions end in the run-time error report: a box titled 错误, the same text on stderr,
and exit status 255 (-1), without running the exit list."""

import os
import tempfile
import unittest

from harness import wait_for
from lookup_fixture import LookupTestCase

FORM = os.path.join(os.path.dirname(__file__), "..", "..", "ui", "start_window.form")
PREFIX_LENGTH = len("http://127.0.0.1:%s/tmbx/qutimu.php?w=" % os.environ.get("CHATI_E2E_LOOKUP_PORT", "47311"))


class FatalErrors(LookupTestCase):
    def setUp(self):
        super().setUp()
        self.client.close()  # each test starts its own client

    def run_to_report(self, env):
        client = self.start_client(env)
        wait_for(lambda: "运行时出错!" in client.stderr_text() or client.proc.poll() is not None,
                 timeout=30, what="the error report")
        self.dismiss_error_box()
        status = client.wait_exit()
        return client, status

    def dismiss_error_box(self):
        def find():
            for w in self.display.run(["xdotool", "search", "--onlyvisible", "--classname", "chati"]).split():
                if self.display.run(["xdotool", "getwindowname", w]).decode().strip() == "错误":
                    return w.decode()
            return None
        box = wait_for(find, timeout=15, what="the error box titled 错误")
        # Keys go to the window under the pointer when no window manager gives the focus.
        self.display.xdotool("mousemove", "--window", box, "20", "20")
        self.display.xdotool("key", "Return")

    def broken_form(self, change):
        with open(FORM, encoding="utf-8") as f:
            text = change(f.read())
        path = os.path.join(tempfile.mkdtemp(), "broken.form")
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        return path

    def test_unreadable_form_data(self):
        for name, change in [
            ("truncated", lambda t: t[: len(t) // 2]),
            ("unknown setting", lambda t: t.replace('"border_style"', '"border_styles"')),
            ("handler outside the table", lambda t: t.replace('handler="1"', 'handler="7"')),
        ]:
            with self.subTest(name):
                client, status = self.run_to_report({"CHATI_TEST_FORM": self.broken_form(change)})
                self.assertEqual(status, 255)
                self.assertIn("运行时出错!\n错误信息：载入窗口模板数据段出错!\n0\n0", client.stderr_text())

    def test_layout_version_too_new_fails_the_start_window(self):
        path = self.broken_form(lambda t: t.replace('layout-version="1">\n        <setting name="button_kind"',
                                                    'layout-version="2">\n        <setting name="button_kind"'))
        client, status = self.run_to_report({"CHATI_TEST_FORM": path})
        self.assertEqual(status, 255)
        self.assertIn("运行时出错!\n错误信息：载入启动窗口失败\n1375797249\n0", client.stderr_text())

    def test_each_allocation_of_a_query_failing(self):
        # A query allocates twice: the question read from the edit box (3 bytes + 1), then the
        # joined query URL (prefix + 3 + 1).
        for nth, size in [(1, 4), (2, PREFIX_LENGTH + 4)]:
            with self.subTest(nth=nth):
                client = self.start_client({"CHATI_TEST_FAIL_ALLOCATION": str(nth)})
                client.wait_for_window()
                client.type("abc")
                client.click_query()
                self.dismiss_error_box()
                self.assertEqual(client.wait_exit(), 255)
                self.assertIn(f"错误信息：分配 {size} 字节内存失败!", client.stderr_text())
                self.expect_no_request()


if __name__ == "__main__":
    unittest.main()
