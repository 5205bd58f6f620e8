#!/usr/bin/python3
"""The receiver's pages in a real browser (headless Chromium driven by Selenium), against the
run script's lighttpd and receiver stand-in, in a private IPC namespace: logged in, our own
pages work; pages of another site, opened in the same browser, change nothing.

Usage: tests/browser/pages_test.py BUILD_DIR
With GRSHM_PAGES_HTTPS=1, over HTTPS with the certificate the server makes, trusted by the browser.
Screenshots of each page go to BUILD_DIR/screenshots/."""
import base64
import ctypes
import hashlib
import http.server
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

if not os.environ.get("GRSHM_PAGES_NAMESPACE"):
    os.execvp("unshare", ["unshare", "--ipc", "env", "GRSHM_PAGES_NAMESPACE=1", sys.executable, *sys.argv])

from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import Select, WebDriverWait  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else "build")
SHOTS = os.path.join(BUILD, "screenshots")
PASSWORD = "browser-login-5Kp"
VIEWER_PASSWORD = "viewer-glance-8Wd"
HTTPS = os.environ.get("GRSHM_PAGES_HTTPS") == "1"
SCHEME = "https" if HTTPS else "http"
MULTI_SYSTEM_LOG = os.path.join(os.path.dirname(ROOT), "shared", "nmea", "ublox-zed-f9p-nmea.log")

# The three segments (key, size), read raw to prove that nothing changed them.
SEGMENTS = ((3456, 18400), (4567, 34456), (2345, 57784))
LIBC = ctypes.CDLL(None, use_errno=True)
LIBC.shmat.restype = ctypes.c_void_p
LIBC.shmat.argtypes = (ctypes.c_int, ctypes.c_void_p, ctypes.c_int)
LIBC.shmdt.argtypes = (ctypes.c_void_p,)


def segment_bytes():
    dump = []
    for key, size in SEGMENTS:
        shm_id = LIBC.shmget(key, 0, 0)
        address = LIBC.shmat(shm_id, None, 0o10000)  # SHM_RDONLY
        assert shm_id >= 0 and address not in (None, ctypes.c_void_p(-1).value), "segment missing"
        dump.append(ctypes.string_at(address, size))
        LIBC.shmdt(address)
    return dump


# What another site's page does to a receiver it finds at TARGET: each one page.
BASE_START = ('{"Key":"2","Station":{"ID":"EVIL","Coordinate":{"Longitude":{"DEG":"10","MIN":"0","SEC":"0",'
              '"HEM":"E"},"Latitude":{"DEG":"10","MIN":"0","SEC":"0","HEM":"N"}},"Height":"1"},"pad":"')
ATTACKS = {
    # A hidden iframe with a form whose field name and value add up to a JSON body.
    "iframe.html": '<iframe style="display:none" src="form.html?frame"></iframe>',
    "form.html": ('<form id="f" method="POST" enctype="text/plain" action="TARGET/cgi-bin/rolekind">'
                  '<input type="hidden" name=\'' + BASE_START + '\' value=\'"}\'></form>'
                  '<script>document.getElementById("f").submit()</script>'),
    "fetch.html": ('<script>fetch("TARGET/cgi-bin/rolekind", {method: "POST", mode: "no-cors", body: '
                   'JSON.stringify({Mode: "2", SinglePoint: {PPS: "ON", EVENT: "ON", CLK: "OFF"}})})</script>'),
    "img.html": '<img src=\'TARGET/cgi-bin/rolekind?{"Key":"3"}\'>',
    "linkconfig.html": ('<script>fetch("TARGET/cgi-bin/linkconfig", {method: "POST", mode: "no-cors", '
                        'credentials: "include", body: \'{"TransID":5,"Revision":"current","MountPoint":"EVIL"}\'})'
                        '</script>'),
    "smartbase.html": ('<script>fetch("TARGET/cgi-bin/rolekind", {method: "POST", mode: "no-cors", '
                       'credentials: "include", body: \'{"Modify":"1","Station":{"ID":"EVIL","Coordinate":'
                       '{"Longitude":{"DEG":"1","HEM":"E"},"Latitude":{"DEG":"1","HEM":"N"}},"Height":"1"}}\'})'
                       '</script>'),
}


# What the status page shows, read at one moment: texts, table rows, and each sky mark's title
# and the centre of its circle relative to the zenith (the centre of the horizon ring), on screen.
SHOWN_STATUS = """
const text = id => document.getElementById(id).textContent;
const centre = node => { const r = node.getBoundingClientRect(); return [r.x + r.width / 2, r.y + r.height / 2]; };
const [zx, zy] = centre(document.querySelector("#sky circle.ring"));
return {utc: text("utc"), fix: text("fix"), latitude: text("latitude"), longitude: text("longitude"),
        altitude: text("altitude"), used: text("used"), inView: text("in-view"),
        headers: [...document.querySelectorAll("#satellites thead th")].map(h => h.textContent),
        rows: [...document.querySelectorAll("#satellites tbody tr")].map(r => [...r.cells].map(c => c.textContent)),
        marks: [...document.querySelectorAll("#sky .sat-mark")].map(m => {
          const [x, y] = centre(m.querySelector("circle"));
          return {system: m.dataset.system, title: m.querySelector("title").textContent, x: x - zx, y: y - zy};
        })};
"""


def spki_hash(certificate):
    """The base64 SHA-256 of a certificate's public key, as Chromium names a key to trust."""
    key = subprocess.run(["openssl", "x509", "-in", certificate, "-pubkey", "-noout"], capture_output=True, check=True)
    der = subprocess.run(["openssl", "pkey", "-pubin", "-outform", "der"], input=key.stdout, capture_output=True,
                         check=True)
    return base64.b64encode(hashlib.sha256(der.stdout).digest()).decode()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Served(unittest.TestCase):
    """The run script's server and a logged-in browser, for the class's tests."""
    cgi_dir = None  # another folder of programs than the build's (a test build's)
    sim_options = []  # the stand-in's own options for the class

    @classmethod
    def setUpClass(cls):
        os.makedirs(SHOTS, exist_ok=True)
        cls.port = free_port()
        # The stand-in replays a multi-system log (GPS, GLONASS, Galileo, BeiDou) for the status page.
        replay = ["--nmea", MULTI_SYSTEM_LOG] if os.path.exists(MULTI_SYSTEM_LOG) else []
        # What the stand-in logs (each operation it carries out) is kept for the tests to read.
        cls.served_log = tempfile.NamedTemporaryFile(mode="w+", prefix="served-", suffix=".log")
        cls.server = subprocess.Popen(["bash", f"{ROOT}/scripts/serve.sh", BUILD, str(cls.port), "--tick-ms", "100",
                                       *replay, *cls.sim_options],
                                      stdout=subprocess.DEVNULL, stderr=cls.served_log, start_new_session=True,
                                      env={**os.environ, "GRSHM_WEB_PASSWORD": PASSWORD, "GRSHM_HTTPS": "1" if HTTPS else "",
                                           **({"GRSHM_CGI_DIR": cls.cgi_dir} if cls.cgi_dir else {})})
        # Stopped even when the browser fails to start (tearDownClass would not run then).
        cls.addClassCleanup(cls.stop_server)
        for _ in range(200):
            try:
                socket.create_connection(("127.0.0.1", cls.port), timeout=0.1).close()
                break
            except OSError:
                time.sleep(0.05)
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--disable-quic",
                     "--no-first-run", "--disable-background-networking", "--disable-component-update",
                     "--disable-sync", "--window-size=1280,1400"):
            options.add_argument(flag)
        if HTTPS:  # the server's own certificate, trusted as an operator would after checking it
            options.add_argument("--ignore-certificate-errors-spki-list=" + spki_hash(
                os.path.join(BUILD, "run", str(cls.port), "tls", "device.crt")))
        cls.profile = tempfile.TemporaryDirectory()
        options.add_argument("--user-data-dir=" + cls.profile.name)
        service = Service(executable_path="/usr/bin/chromedriver")
        cls.browser = webdriver.Chrome(options=options, service=service)
        cls.browser.set_page_load_timeout(30)
        # Log in once on the login page, where a page without a session sends the browser.
        cls.browser.get(f"{SCHEME}://127.0.0.1:{cls.port}/channels.html")
        cls.log_in(cls, "admin", PASSWORD, "channels.html")

    def log_in(self, user, password, back_to):
        wait = WebDriverWait(self.browser, 20)
        wait.until(lambda _: "/login.html?next=" + back_to in self.browser.current_url)
        self.browser.find_element(By.ID, "user").send_keys(user)
        self.browser.find_element(By.ID, "password").send_keys(password)
        self.browser.find_element(By.ID, "submit").click()
        wait.until(lambda _: self.browser.current_url.endswith("/" + back_to))
        wait.until(lambda _: self.browser.find_element(By.ID, "who").text.startswith(user + " ("))

    @classmethod
    def stop_server(cls):
        os.killpg(cls.server.pid, signal.SIGTERM)
        cls.server.wait()

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.profile.cleanup()

    def open(self, page):
        self.browser.get(f"{SCHEME}://127.0.0.1:{self.port}/{page}")

    def wait_for(self, condition, timeout=20):
        return WebDriverWait(self.browser, timeout).until(lambda _: condition())

    def by_id(self, name):
        return self.browser.find_element(By.ID, name)

    def type_into(self, name, text):
        field = self.by_id(name)
        field.clear()
        field.send_keys(text)

    def message(self):
        box = self.by_id("message")
        return box.get_attribute("class"), box.text

    def wait_for_message(self, timeout=20):
        return self.wait_for(lambda: self.message() if self.message()[0] != "message" else None, timeout)



class Pages(Served):
    @unittest.skipUnless(os.path.exists(MULTI_SYSTEM_LOG), "recorded NMEA logs not found")
    def test_0_status_page_shows_fix_position_and_every_satellite(self):
        self.open("index.html")
        self.wait_for(lambda: self.by_id("fix").text == "Single")
        stand_in = self.stand_in()
        for pid in stand_in:  # hold the replay still, so that the page and the report agree
            os.kill(int(pid), signal.SIGSTOP)
        try:
            time.sleep(2.5)  # at least two refreshes of the page
            report = self.browser.execute_async_script(
                "callProgram('gnssreport', {}).then(arguments[0], e => arguments[0](String(e)))")
            # The page redraws every second: what it shows is read in one step, in one script.
            page = self.wait_for(lambda: (lambda shown: shown if shown["utc"] == report["Fix"]["UTC"] else None)(
                self.browser.execute_script(SHOWN_STATUS)))
            placed = {f'{name} {s["Number"]}': s for name, system in report["Satellites"].items()
                      for s in system["List"] if "Elevation" in s and "Azimuth" in s}
            self.assertGreater(len(placed), 20)
            self.assertEqual(sorted(m["title"] for m in page["marks"]), sorted(placed))
            systems = {"GPS", "BeiDou", "GLONASS", "Galileo", "SBAS"}
            self.assertEqual(set(report["Satellites"]), systems)
            self.assertEqual({m["system"] for m in page["marks"]}, {name.split()[0] for name in placed})
            self.assertEqual({item.text for item in self.browser.find_elements(By.CSS_SELECTOR, "#legend span")},
                             systems)
            # North is up, east to the right (screen y grows downwards): each mark on its side of
            # the zenith, away from the axes where rounding could put it on either side.
            for mark in page["marks"]:
                azimuth, elevation = placed[mark["title"]]["Azimuth"], placed[mark["title"]]["Elevation"]
                if elevation < 85:
                    sides = (("north" if azimuth < 80 or azimuth > 280 else "south" if 100 < azimuth < 260 else None),
                             ("east" if 10 < azimuth < 170 else "west" if 190 < azimuth < 350 else None))
                    drawn = ("north" if mark["y"] < 0 else "south", "east" if mark["x"] > 0 else "west")
                    for side, seen in zip(sides, drawn):
                        self.assertIn(side, (None, seen), mark)
            # Each value in the satellite table under its own header, in the systems' order.
            shown = [dict(zip(page["headers"], cells)) for cells in page["rows"]]
            listed = [{"System": name, "Number": str(s["Number"]), "Elevation": str(s.get("Elevation", "–")),
                       "Azimuth": str(s.get("Azimuth", "–")), "Signal (dB-Hz)": str(s.get("SNR", "–"))}
                      for name in ("GPS", "BeiDou", "GLONASS", "Galileo", "SBAS")
                      for s in report["Satellites"][name]["List"]]
            self.assertEqual(shown, listed)
            self.assertEqual(page["inView"], str(len(listed)))
            self.assertEqual(page["altitude"], f'{report["Position"]["Altitude"]:.3f} m')
            self.assertEqual(page["fix"], "Single")
            latitude = report["Position"]["Coordinate"]["Latitude"]
            self.assertEqual(latitude["HEM"], "S")
            self.assertEqual(page["latitude"],
                             f'{latitude["DEG"]}° {latitude["MIN"]}′ {float(latitude["SEC"]):.4f}″ S')
            self.assertTrue(page["longitude"].startswith("170° 30′ ") and page["longitude"].endswith("″ E"))
            self.browser.save_screenshot(os.path.join(SHOTS, "status.png"))
        finally:
            for pid in stand_in:
                os.kill(int(pid), signal.SIGCONT)

    def test_0b_default_status_page_shows_a_sky_that_agrees_with_its_fix(self):
        # The run command without a log: its own stand-in and server, in an IPC namespace of their own.
        port = free_port()
        server = subprocess.Popen(["unshare", "--ipc", "bash", f"{ROOT}/scripts/serve.sh", BUILD, str(port),
                                   "--tick-ms", "100"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                  start_new_session=True, env={**os.environ, "GRSHM_WEB_PASSWORD": PASSWORD,
                                                               "GRSHM_HTTPS": ""})
        try:
            for _ in range(200):
                try:
                    socket.create_connection(("127.0.0.1", port), timeout=0.1).close()
                    break
                except OSError:
                    time.sleep(0.05)
            # (Another host name: a browser keeps cookies by host, not by port.)
            self.browser.get(f"http://localhost:{port}/index.html")
            self.log_in("admin", PASSWORD, "index.html")
            self.wait_for(lambda: self.browser.execute_script(
                'return document.getElementById("fix").textContent == "RTK fixed" && '
                'document.querySelectorAll("#sky .sat-mark").length > 0'))
            page = self.browser.execute_script(SHOWN_STATUS)
            in_view, used = int(page["inView"]), int(page["used"])
            self.assertGreater(in_view, 0)
            self.assertLessEqual(used, in_view)
            self.assertEqual(len(page["rows"]), in_view)
            self.assertEqual({row[0] for row in page["rows"]}, {"GPS", "BeiDou", "GLONASS", "Galileo", "SBAS"})
            self.assertEqual(len(page["marks"]), in_view)
            self.assertEqual(page["altitude"], "25.000 m")
            self.browser.save_screenshot(os.path.join(SHOTS, "status-default.png"))
        finally:
            os.killpg(server.pid, signal.SIGTERM)
            server.wait()

    def test_1_channel_table_shows_the_configuration(self):
        self.open("channels.html")
        rows = self.wait_for(lambda: self.browser.find_elements(By.CSS_SELECTOR, "#channels tbody tr[data-trans-id]"))
        self.assertEqual([r.get_attribute("data-trans-id") for r in rows], ["1", "3", "4", "5", "6", "7", "8", "9", "10"])
        table = self.by_id("channels").text
        # In the words of the description: labels, units, the texts of the choices.
        for shown in ("Serial port 1", "Baud rate: 115200 bit/s", "Parity: none", "Data stream: NMEA",
                      "Remote address: 192.168.10.20", "Remote port: 5017", "Caster address: caster.example.net",
                      "Caster port: 2101", "Mount point: BASE01_RTCM32", "NTRIP version: NTRIP 2.0",
                      "Radio model: PN-WAVE", "Receive frequency: 463.125 MHz", "Password: ••••••"):
            self.assertIn(shown, table)
        self.assertNotIn("s3cret", table)  # NTRIP server 1's password
        rows[0].find_element(By.TAG_NAME, "button").click()  # the serial port's message lists
        self.wait_for(lambda: "NMEA: GPGGA (1 s), GPRMC (1 s)" in self.by_id("channels").text)
        self.browser.save_screenshot(os.path.join(SHOTS, "channels.png"))

    def test_1b_channel_editor_saves_a_mount_point_and_an_interval(self):
        self.open("channels.html")
        row = self.wait_for(lambda: self.browser.find_element(By.CSS_SELECTOR, '#channels tr[data-trans-id="5"]'))
        row.find_element(By.CSS_SELECTOR, "button.edit").click()
        mount = self.wait_for(lambda: self.browser.find_element(By.CSS_SELECTOR, '#editor input[name="MountPoint"]'))
        mount.clear()
        mount.send_keys("PAGE_MOUNT")
        msm4 = self.browser.find_element(By.CSS_SELECTOR, '#editor table[data-list="2"] input[data-name="1074B"]')
        msm4.clear()
        msm4.send_keys("5")
        self.by_id("save").click()
        self.assertEqual(self.wait_for_message(), ("message ok", "NTRIP server 1 saved (Mount point, Messages)."))
        row = self.browser.find_element(By.CSS_SELECTOR, '#channels tr[data-trans-id="5"]')
        self.assertIn("Mount point: PAGE_MOUNT", row.text)
        row.find_element(By.TAG_NAME, "button").click()  # its message lists
        self.wait_for(lambda: "1074B (5 s)" in self.by_id("channels").text)
        # The password is in a password input, shown only when asked.
        password = self.browser.find_element(By.CSS_SELECTOR, '#editor input[name="PWD"]')
        self.assertEqual(password.get_attribute("type"), "password")
        self.browser.find_element(By.CSS_SELECTOR, '#editor [data-key="PWD"] button.reveal').click()
        self.assertEqual((password.get_attribute("type"), password.get_attribute("value")), ("text", "s3cret"))
        self.browser.save_screenshot(os.path.join(SHOTS, "channels-edited.png"))
        # A value the receiver cannot take is refused at its field, and nothing is saved.
        port = self.browser.find_element(By.CSS_SELECTOR, '#editor input[name="CasterPort"]')
        port.clear()
        port.send_keys("70000")
        self.by_id("save").click()
        error = "CasterPort must be a whole number from 1 to 65535"
        self.assertEqual(self.wait_for_message(), ("message error", error))
        self.assertEqual(self.browser.find_element(By.CSS_SELECTOR, '#editor [data-key="CasterPort"] .field-error').text,
                         error)

    def test_2_base_start_with_a_typed_coordinate(self):
        self.open("workmode.html")
        self.wait_for(lambda: self.by_id("base-state").text in ("running", "stopped"))
        self.type_into("base-id", "PAGE-BASE")
        for name, value in (("lat-deg", "30"), ("lat-min", "12"), ("lat-sec", "0"), ("lon-deg", "116"),
                            ("lon-min", "23"), ("lon-sec", "27.36"), ("height", "45.5")):
            self.type_into(name, value)
        Select(self.by_id("lat-hem")).select_by_visible_text("N")
        Select(self.by_id("lon-hem")).select_by_visible_text("E")
        self.by_id("base-start").click()
        kind, text = self.wait_for_message()
        self.assertEqual((kind, text), ("message ok", "Base station started."))
        self.wait_for(lambda: self.by_id("base-state").text == "running")
        self.assertEqual(self.by_id("current-mode").text, "Base station")
        self.open("workmode.html")  # what is stored, read back afresh
        self.wait_for(lambda: self.by_id("base-state").text == "running")
        values = {name: self.by_id(name).get_attribute("value") for name in
                  ("base-id", "lat-deg", "lat-min", "lat-sec", "lon-deg", "lon-min", "lon-sec", "height")}
        self.assertEqual(values, {"base-id": "PAGE-BASE", "lat-deg": "30", "lat-min": "12", "lat-sec": "0.000000",
                                  "lon-deg": "116", "lon-min": "23", "lon-sec": "27.360000", "height": "45.500000"})
        self.browser.save_screenshot(os.path.join(SHOTS, "workmode-base-running.png"))

    def test_3_smartbase_edit_of_position_2(self):
        self.open("workmode.html")
        self.wait_for(lambda: len(self.browser.find_elements(By.CSS_SELECTOR, "#smartbase tbody tr")) == 30)
        Select(self.by_id("sb-position")).select_by_visible_text("2")
        self.type_into("sb-id", "PAGE-SB2")
        for name, value in (("sb-lat-deg", "30"), ("sb-lat-min", "12"), ("sb-lat-sec", "34.56789"),
                            ("sb-lon-deg", "114"), ("sb-lon-min", "5"), ("sb-lon-sec", "7.5"),
                            ("sb-height", "12.25")):
            self.type_into(name, value)
        Select(self.by_id("sb-lat-hem")).select_by_visible_text("S")
        self.by_id("sb-save").click()
        self.assertEqual(self.wait_for_message(), ("message ok", "SmartBase position saved."))
        row = self.browser.find_element(By.CSS_SELECTOR, '#smartbase tr[data-position="2"]')
        cells = [cell.text for cell in row.find_elements(By.TAG_NAME, "td")]
        self.assertEqual(cells[:5], ["2", "PAGE-SB2", "30° 12′ 34.56789″ S", "114° 5′ 7.50000″ E", "12.250000"])
        # Stored in the list's own encoding, DD.MMSSsssss, digit for digit (single digits padded).
        status = self.browser.execute_async_script(
            "callProgram('rolekind', {}).then(arguments[0], e => arguments[0](String(e)))")
        self.assertEqual(status["Station2"]["Coordinate"]["Latitude"], {"DEG": "30.123456789", "MIN": "0.00",
                                                                      "SEC": "0.00", "HEM": "S"})
        self.assertEqual(status["Station2"]["Coordinate"]["Longitude"]["DEG"], "114.050750000")
        # Unused positions are empty rows; Edit fills the form back in degrees, minutes, seconds.
        unused = self.browser.find_element(By.CSS_SELECTOR, '#smartbase tr[data-position="9"]')
        self.assertEqual([cell.text for cell in unused.find_elements(By.TAG_NAME, "td")][:6], ["9", "", "", "", "", ""])
        row.find_element(By.TAG_NAME, "button").click()
        self.assertEqual([self.by_id(name).get_attribute("value") for name in
                          ("sb-lat-deg", "sb-lat-min", "sb-lat-sec", "sb-lon-deg", "sb-lon-min", "sb-lon-sec")],
                         ["30", "12", "34.56789", "114", "5", "7.5"])

    def test_4_checks_in_the_page_and_stop(self):
        self.open("workmode.html")
        self.wait_for(lambda: self.by_id("base-state").text in ("running", "stopped"))
        # The inputs and their messages are the program's rows: its choices, its limits, its words.
        self.assertEqual([option.text for option in Select(self.by_id("mode-select")).options],
                         ["Rover", "Single point", "SmartBase"])
        self.assertEqual(self.by_id("lat-sec").get_attribute("title"), "0 up to 60, such as 27.36")
        self.type_into("lat-min", "75")
        self.by_id("base-start").click()
        self.assertEqual(self.wait_for_message(),
                         ("message error", "Station.Coordinate.Latitude.MIN must be 0 to 59"))
        self.assertEqual(self.by_id("lat-min").get_attribute("aria-invalid"), "true")
        # What only the program checks (90 degrees and more) comes back in its words.
        self.type_into("lat-deg", "90")
        self.type_into("lat-min", "1")
        self.by_id("base-start").click()
        self.assertEqual(self.wait_for_message(),
                         ("message error", "Station.Coordinate.Latitude must be at most 90 degrees"))
        self.by_id("base-stop").click()
        self.assertEqual(self.wait_for_message(), ("message ok", "Base station stopped."))
        self.wait_for(lambda: self.by_id("base-state").text == "stopped")

    def test_5_an_error_reply_is_shown_as_an_error(self):
        # The receiver stops answering: the request gives up after its bound and says so.
        stand_in = subprocess.run(["pgrep", "-f", "-s", str(self.server.pid), "receiversim"], capture_output=True,
                                  text=True).stdout.split()
        self.assertTrue(stand_in)
        self.open("workmode.html")
        self.wait_for(lambda: self.by_id("base-state").text in ("running", "stopped"))
        for pid in stand_in:
            os.kill(int(pid), signal.SIGSTOP)
        try:
            self.by_id("base-stop").click()  # posted, but nobody takes it
            self.wait_for_message()
            self.by_id("base-stop").click()  # this one finds the mailbox busy
            self.wait_for(lambda: self.message()[0] == "message error", timeout=30)
            self.assertIn("the receiver did not take the operation", self.message()[1])
            self.browser.save_screenshot(os.path.join(SHOTS, "workmode-error.png"))
        finally:
            for pid in stand_in:
                os.kill(int(pid), signal.SIGCONT)

    def test_6_pages_of_another_site_change_nothing(self):
        self.open("workmode.html")  # logged in, with our page open in another tab's place
        self.wait_for(lambda: self.by_id("base-state").text in ("running", "stopped"))
        target = f"{SCHEME}://127.0.0.1:{self.port}"
        with tempfile.TemporaryDirectory() as site:
            for name, text in ATTACKS.items():
                with open(os.path.join(site, name), "w") as page:
                    page.write("<!DOCTYPE html><html><body>" + text.replace("TARGET", target) + "</body></html>")
            handler = lambda *args: http.server.SimpleHTTPRequestHandler(*args, directory=site)  # noqa: E731
            http.server.SimpleHTTPRequestHandler.log_message = lambda *args: None
            attacker = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
            threading.Thread(target=attacker.serve_forever, daemon=True).start()
            other_site = f"http://localhost:{attacker.server_address[1]}"  # another site to the browser
            stand_in = self.stand_in()
            access_log = os.path.join(BUILD, "run", str(self.port), "lighttpd-access.log")
            logged_before = os.path.getsize(access_log)
            for pid in stand_in:  # nothing but the attacks could change the segments now
                os.kill(int(pid), signal.SIGSTOP)
            try:
                before = segment_bytes()
                for page in ("iframe.html", "fetch.html", "img.html", "smartbase.html", "linkconfig.html"):
                    self.browser.get(f"{other_site}/{page}")
                    time.sleep(1)
                self.browser.get(f"{other_site}/form.html")  # posted with the whole tab
                self.wait_for(lambda: self.browser.current_url.startswith(target))
                self.browser.save_screenshot(os.path.join(SHOTS, "cross-site-form-refused.png"))
                self.assertIn("403", self.browser.page_source)
                time.sleep(2)
                after = segment_bytes()
            finally:
                for pid in stand_in:
                    os.kill(int(pid), signal.SIGCONT)
                attacker.shutdown()
        for name, old, new in zip(("configuration", "monitor", "GNSS"), before, after):
            self.assertTrue(old == new, f"the {name} segment changed")
        with open(access_log) as log:
            log.seek(logged_before)
            requests = re.findall(r'"(?:GET|POST) /cgi-bin/(?:rolekind|linkconfig)\S* HTTP/[0-9.]+" (\d+) \S+ "([^"]*)"', log.read())
        statuses = [status for status, referer in requests if referer.startswith(other_site)]
        self.assertGreaterEqual(len(statuses), 6, statuses)  # iframe form, fetch, img, fetch, linkconfig, tab form
        self.assertEqual(set(statuses), {"403"})

    def test_7_a_viewer_sees_no_password_and_a_logout_ends_the_session(self):
        state = os.path.join(BUILD, "run", str(self.port), "state")
        subprocess.run([os.path.join(BUILD, "tools", "grshm-user", "grshm-user"), "--dir", state, "add", "vera",
                        "--role", "viewer"], input=VIEWER_PASSWORD + "\n", text=True, check=True)
        self.assertEqual(self.editor_passwords(), ["s3cret"])  # the admin sees NTRIP server 1's password
        self.wait_for(lambda: self.by_id("who").text == "admin (admin)")
        self.by_id("logout").click()
        self.wait_for(lambda: "/login.html" in self.browser.current_url)
        self.open("channels.html")  # the old session is gone on the receiver too
        self.log_in("vera", VIEWER_PASSWORD, "channels.html")
        self.assertEqual(self.editor_passwords(), [])
        for secret in ("s3cret", "rover-pass", "caster\"", "Revision"):
            self.assertNotIn(secret, self.browser.page_source)
        self.browser.save_screenshot(os.path.join(SHOTS, "channels-viewer.png"))
        # A change the viewer may not make is refused and shown as an error.
        self.open("workmode.html")
        self.wait_for(lambda: self.by_id("base-state").text in ("running", "stopped"))
        self.browser.find_element(By.ID, "base-stop").click()
        self.assertIn("viewer role may not", self.wait_for_message()[1])
        # Back to the admin for whatever runs after.
        self.by_id("logout").click()
        self.wait_for(lambda: "/login.html?next=workmode.html" in self.browser.current_url)
        self.open("index.html")
        self.log_in("admin", PASSWORD, "index.html")

    def editor_passwords(self):
        """The values of the password fields in NTRIP server 1's editor."""
        self.open("channels.html")
        row = self.wait_for(lambda: self.browser.find_element(By.CSS_SELECTOR, '#channels tr[data-trans-id="5"]'))
        row.find_element(By.CSS_SELECTOR, "button.edit").click()
        self.wait_for(lambda: self.browser.find_element(By.CSS_SELECTOR, '#editor input[name="MountPoint"]'))
        values = [field.get_attribute("value") for field in self.browser.find_elements(By.CSS_SELECTOR, "#editor input")]
        return [value for value in values if value in ("s3cret", "rover-pass", "caster")]

    def stand_in(self):
        pids = subprocess.run(["pgrep", "-f", "-s", str(self.server.pid), "receiversim"], capture_output=True,
                              text=True).stdout.split()
        self.assertTrue(pids)
        return pids


class Settings(Served):
    def test_tracking_settings_saved_from_the_page_are_taken_into_use(self):
        self.open("settings.html")
        field = lambda key: self.browser.find_element(By.CSS_SELECTOR, f'#group-tracking [name="{key}"]')
        mask = self.wait_for(lambda: field("ElevationMask"))
        self.assertEqual((mask.get_attribute("min"), mask.get_attribute("max"), mask.get_attribute("value")),
                         ("0", "90", "10"))
        mask.clear()
        mask.send_keys("15")
        pdop = field("PDOPLimit")
        pdop.clear()
        pdop.send_keys("2.5")
        Select(field("SBASService")).select_by_visible_text("EGNOS")
        field("QZSS").click()  # off
        self.browser.find_element(By.CSS_SELECTOR, "#group-tracking button").click()
        self.assertEqual(self.wait_for_message(),
                         ("message ok", "Tracking saved (Elevation mask, PDOP limit, QZSS, SBAS service)."))
        taken = ["elevation mask 15 degrees taken into use", "PDOP limit 2.5 taken into use", "QZSS off",
                 "SBAS tracked and used, service EGNOS"]
        self.served_log.flush()
        read = lambda: self.served_log.seek(0) or self.served_log.read()
        self.wait_for(lambda: all(line in read() for line in taken))
        self.assertEqual([line[:line.index("): ") + 1] for line in read().splitlines() if any(t in line for t in taken)],
                         ["receiversim: operation 15 (elevation mask)", "receiversim: operation 49 (settings without "
                          "an operation)", "receiversim: operation 21 (QZSS)", "receiversim: operation 22 (SBAS)"])
        self.browser.save_screenshot(os.path.join(SHOTS, "settings-tracking.png"))
        # Read again, the page shows what was stored; a value no receiver takes is refused at
        # its field with the program's message for it, and nothing is sent.
        self.open("settings.html")
        mask = self.wait_for(lambda: field("ElevationMask"))
        self.assertEqual((mask.get_attribute("value"), field("PDOPLimit").get_attribute("value")), ("15", "2.5"))
        mask.clear()
        mask.send_keys("91")
        self.browser.find_element(By.CSS_SELECTOR, "#group-tracking button").click()
        error = "ElevationMask must be a whole number from 0 to 90"
        self.assertEqual(self.wait_for_message(), ("message error", error))
        self.assertEqual(
            self.browser.find_element(By.CSS_SELECTOR, '#group-tracking [data-key="ElevationMask"] .field-error').text,
            error)


class Receiver(Served):
    """The receiver's own groups on the pages: who it is and how it is, its links, the antenna
    and a recording, and maintenance behind a typed confirmation."""
    sim_options = ["--record-rate", "40000000", "--restart-ms", "3000"]  # the space falls visibly

    def fixed(self, group, key):
        return self.browser.find_element(By.CSS_SELECTOR, f'#group-{group} [data-key="{key}"] .fixed').text

    def field(self, group, key):
        return self.browser.find_element(By.CSS_SELECTOR, f'#group-{group} [name="{key}"]')

    def save(self, group):
        self.browser.find_element(By.CSS_SELECTOR, f"#group-{group} button").click()
        return self.wait_for_message()

    def log_lines(self, text):
        self.served_log.flush()
        self.served_log.seek(0)
        return [line for line in self.served_log.read().splitlines() if text in line]

    def test_1_identity_health_and_links_as_a_person_reads_them(self):
        self.open("index.html")
        self.wait_for(lambda: self.fixed("identity", "SerialNumber") == "GR2026120800017")
        self.assertEqual((self.fixed("identity", "Product"), self.fixed("identity", "Firmware"),
                          self.fixed("identity", "MacAddress")), ("GR90-BR", "3.2.1", "02:4B:52:00:00:11"))
        self.assertRegex(self.fixed("health", "Temperature"), r"^\d+ °C$")
        self.assertEqual((self.fixed("health", "StorageTotal"), self.fixed("health", "PowerSupply"),
                          self.fixed("health", "FirmwareState")), ("7.28 GB", "mains", "running"))
        self.assertRegex(self.fixed("health", "RunningTime"), r"^\d+ min \d+ s$")
        self.browser.save_screenshot(os.path.join(SHOTS, "status-receiver.png"))
        self.open("channels.html")
        states = ("off", "connecting", "connected", "listening", "refused", "unreachable", "no network")
        cell = lambda trans_id: self.browser.find_element(By.CSS_SELECTOR, f'#channels td[data-key="Connection{trans_id}"]')
        self.wait_for(lambda: all(cell(trans_id).text in states for trans_id in (3, 4, 5, 6, 9)))
        self.assertEqual(cell(1).text, "–")  # a serial port has no connection state

    def test_2_antenna_base_station_and_a_recording(self):
        self.open("workmode.html")
        antenna_type = self.wait_for(lambda: self.field("antenna", "AntennaType"))
        self.assertEqual(antenna_type.get_attribute("list"), "antenna-AntennaType-choices")
        antenna_type.clear()
        antenna_type.send_keys("LEIAR25.R3      LEIT")
        height = self.field("antenna", "AntennaHeight")
        height.clear()
        height.send_keys("1.8345")
        self.assertEqual(self.save("antenna"), ("message ok", "Antenna saved (Antenna and radome (IGS), Antenna height)."))
        self.wait_for(lambda: self.log_lines('operation 26 (antenna): taken into use for the base station: antenna '
                                             '"LEIAR25.R3      LEIT", height 1.8345 m vertical'))
        self.wait_for(lambda: self.by_id("base-state").text in ("running", "stopped"))
        self.type_into("base-id", "ANT-BASE")
        for name, value in (("lat-deg", "30"), ("lat-min", "12"), ("lat-sec", "0"), ("lon-deg", "116"),
                            ("lon-min", "23"), ("lon-sec", "27.36"), ("height", "45.5")):
            self.type_into(name, value)
        self.by_id("base-start").click()
        self.assertEqual(self.wait_for_message(), ("message ok", "Base station started."))

        self.open("settings.html")
        Select(self.wait_for(lambda: self.field("recorder1", "Recording"))).select_by_visible_text("recording")
        self.assertEqual(self.save("recorder1"), ("message ok", "Recorder 1 saved (Record)."))
        self.wait_for(lambda: self.fixed("recorder1", "State") == "recording")
        space = lambda: float(self.fixed("recorder1", "FreeSpace").split()[0])
        before = space()
        self.wait_for(lambda: space() < before - 0.05)  # refreshed as it records
        self.browser.save_screenshot(os.path.join(SHOTS, "settings-recording.png"))
        Select(self.field("recorder1", "Recording")).select_by_visible_text("stopped")
        self.assertEqual(self.save("recorder1"), ("message ok", "Recorder 1 saved (Record)."))
        self.wait_for(lambda: self.fixed("recorder1", "State") == "stopped")
        started, stopped = self.log_lines("operation 42 (recorder 1 start or stop)")
        self.assertIn("recorder 1 recording", started)
        self.assertIn("recorder 1 stopped", stopped)

    def confirm(self, action, typed):
        box = self.browser.find_element(By.CSS_SELECTOR, f'#group-maintenance [data-action="{action}"]')
        box.find_element(By.CSS_SELECTOR, "button").click()
        box.find_element(By.NAME, "confirm").send_keys(typed)
        box.find_element(By.CSS_SELECTOR, ".confirm button").click()

    def test_3_restore_settings_and_a_restart_behind_their_confirmations(self):
        changed = self.browser.execute_async_script(
            "callProgram('linkconfig', {TransID: 6}).then(read => callProgram('linkconfig', {TransID: 6, "
            "Revision: read.Revision, MountPoint: 'CHANGED1'}).then(() => arguments[0](read.Channel.MountPoint)))")
        self.assertNotEqual(changed, "CHANGED1")
        self.open("settings.html")
        self.wait_for(lambda: self.browser.find_element(By.CSS_SELECTOR, '#group-maintenance [data-action="restore settings"]'))
        self.confirm("restore settings", "restore setting")  # mistyped: nothing is sent
        self.assertEqual(self.wait_for_message(), ("message error", 'Confirm must be "restore settings", typed by the '
                         "person who confirms that every setting goes back to the receiver's defaults: channels, "
                         "base station, antenna, recorders"))
        self.assertEqual(self.log_lines("operation 39"), [])
        self.confirm("restore settings", "restore settings")
        self.assertEqual(self.wait_for_message(), ("message ok", "Restore settings: done."))
        self.open("channels.html")
        row = self.wait_for(lambda: self.browser.find_element(By.CSS_SELECTOR, '#channels tr[data-trans-id="6"]'))
        self.wait_for(lambda: ("Mount point: " + changed) in row.text)
        self.open("settings.html")
        self.wait_for(lambda: self.browser.find_element(By.CSS_SELECTOR, '#group-maintenance [data-action="restart"]'))
        self.confirm("restart", "restart")
        self.assertEqual(self.wait_for_message(), ("message ok", "Restart: sent. Waiting for the receiver…"))
        self.wait_for(lambda: self.message() == ("message ok", "The receiver has restarted and is back."), 30)
        self.assertTrue(self.log_lines("its processes are back after the restart"))


class TestBuildRow(Served):
    """The channels page with linkconfig's test build, which has one row more (the TCP channels'
    "MaxClients"): the page shows it as an input with its rule, and answers a bad value with the
    row's own message, as the program does."""
    folder = tempfile.TemporaryDirectory()
    cgi_dir = folder.name

    @classmethod
    def setUpClass(cls):
        programs = os.path.join(BUILD, "www", "cgi-bin")
        for program in os.listdir(programs):
            target = os.path.join(BUILD, "linkconfig", "linkconfig_test_row") if program == "linkconfig" else \
                os.path.realpath(os.path.join(programs, program))
            os.symlink(target, os.path.join(cls.cgi_dir, program))
        cls.addClassCleanup(cls.folder.cleanup)
        super().setUpClass()

    def test_a_row_of_the_test_build_is_an_input_with_its_rule_and_message(self):
        self.open("channels.html")
        row = self.wait_for(lambda: self.browser.find_element(By.CSS_SELECTOR, '#channels tr[data-trans-id="3"]'))
        row.find_element(By.CSS_SELECTOR, "button.edit").click()
        field = self.wait_for(lambda: self.browser.find_element(By.CSS_SELECTOR, '#editor input[name="MaxClients"]'))
        label = self.browser.find_element(By.CSS_SELECTOR, '#editor label[data-key="MaxClients"]')
        self.assertTrue(label.text.startswith("Most clients"), label.text)
        self.assertEqual([field.get_attribute(name) for name in ("type", "min", "max", "step")],
                         ["number", "1", "8", "1"])
        read = "callProgram('linkconfig', {TransID: 3}).then(reply => arguments[0](reply.Revision))"
        revision = self.browser.execute_async_script(read)
        error = "MaxClients must be a whole number from 1 to 8"
        for bad in ("9", "2.5"):
            field.clear()
            field.send_keys(bad)
            self.by_id("save").click()
            self.assertEqual(self.wait_for_message(), ("message error", error))
            self.assertEqual(label.find_element(By.CSS_SELECTOR, ".field-error").text, error)
        self.assertEqual(self.browser.execute_async_script(read), revision)  # nothing was stored
        # The program gives the same message for it, and takes a good value.
        reply = self.browser.execute_async_script(
            "callProgram('linkconfig', {TransID: 3}).then(read => callProgram('linkconfig', "
            "{TransID: 3, Revision: read.Revision, MaxClients: 9})).then(arguments[0], e => arguments[0](e.message))")
        self.assertEqual(reply, error)
        field.clear()
        field.send_keys("6")
        self.by_id("save").click()
        self.assertEqual(self.wait_for_message(), ("message ok", "TCP channel 1 saved (Most clients)."))
        config = segment_bytes()[0]
        self.assertEqual(int.from_bytes(config[5568 + 46:5568 + 48], "little"), 6)  # ENTRY_TCP1_CONFIG's MaxConNum


if __name__ == "__main__":
    unittest.main(verbosity=2)
