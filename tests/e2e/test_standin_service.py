"""The stand-in service itself: its PIN reckoning and what it records, so the launch tests can
trust what it reports."""

import http.client
import unittest
import urllib.parse

from standin_service import FIELD_ORDER, StandinService, challenge_indexes


class ChallengeTest(unittest.TestCase):
    def test_worked_examples(self):
        rows = {
            "no corrections": ("093512", 1234567, (8, 1, 2)),
            "late evening": ("235959", 7777777, (4, 3, 9)),
            "one second past midnight": ("000001", 10000048, (7, 1, 0)),
            "both corrections": ("142305", 9999999, (7, 4, 1)),
            "seed below the time number": ("235959", 50, (6, 0, 3)),
        }
        for name, (time_text, seed, want) in rows.items():
            with self.subTest(name):
                self.assertEqual(challenge_indexes(time_text, seed), want)

    def test_indexes_always_differ(self):
        for time_text in ("000001", "093512", "120000", "235959"):
            for seed in (50, 51, 999, 123456, 10000048):
                i1, i2, i3 = challenge_indexes(time_text, seed)
                self.assertEqual(len({i1, i2, i3}), 3, (time_text, seed))
                self.assertTrue(1 <= i1 <= 8)


def post_form(origin, path, pairs):
    body = urllib.parse.urlencode(pairs).encode()
    url = urllib.parse.urlsplit(origin)
    conn = http.client.HTTPConnection(url.hostname, url.port, timeout=10)
    conn.request("POST", path, body, {"Content-Type": "application/x-www-form-urlencoded"})
    response = conn.getresponse()
    text = response.read().decode()
    conn.close()
    return response.status, text


class RecordingTest(unittest.TestCase):
    def test_post_is_recorded_in_order_and_checked(self):
        # 093512 / 1234567 asks for indexes 8, 1, 2 of the PIN.
        pin = "0123456789"
        rows = {
            "right characters": (("8", "1", "2"), True),
            "wrong characters": (("1", "2", "3"), False),
        }
        for name, (pins, accepted) in rows.items():
            with self.subTest(name), StandinService(expected_pin=pin) as service:
                pairs = [("username", "a<b>&\"c'"), ("password", "p w"), ("time", "093512"),
                         ("seed", "1234567"), ("pin1", pins[0]), ("pin2", pins[1]),
                         ("pin3", pins[2]), ("appver", "3.0.38")]
                status, text = post_form(service.origin,
                                         "/p_checkpassword.php?id=20260101093512", pairs)
                self.assertEqual(status, 200)
                self.assertIn("accepted" if accepted else "rejected", text)
                post = service.wait_for_post(timeout=5)
                self.assertIsNotNone(post)
                self.assertEqual(post.field_names(), FIELD_ORDER)
                self.assertEqual(post.fields, pairs)
                self.assertEqual(post.pin_ok, accepted)

    def test_other_addresses_are_not_found(self):
        with StandinService() as service:
            url = urllib.parse.urlsplit(service.origin)
            conn = http.client.HTTPConnection(url.hostname, url.port, timeout=10)
            conn.request("GET", "/include/logo.gif")
            self.assertEqual(conn.getresponse().status, 404)
            conn.close()
            status, _ = post_form(service.origin, "/elsewhere.php", [("a", "b")])
            self.assertEqual(status, 404)
            self.assertEqual(service.posts, [])
            self.assertEqual([r.path for r in service.requests],
                             ["/include/logo.gif", "/elsewhere.php"])


if __name__ == "__main__":
    unittest.main()
