"""gauge-lint and gauge-preview through scripts/gauge.sh, on the sample gauge set
and on broken copies of it: exit codes, messages, and the pixels an author
would look at."""
import math
import os
import shutil
import subprocess
import tempfile
import unittest

from PIL import Image

SOURCE = os.environ.get("OSTREL_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
SCRIPTS = os.path.join(SOURCE, "scripts")
SAMPLE = os.path.join(SOURCE, "assets", "plugin", "Gauges.default", "Car1")

# The sample tachometer: pivot, needle colour, and 0 to 8000 rpm over 270
# degrees clockwise from pointing left.
PIVOT = (100, 128)


def run(tool, *args, cwd=None):
    p = subprocess.run(["bash", os.path.join(SCRIPTS, "gauge.sh"), tool, *args], cwd=cwd, capture_output=True, text=True,
                       timeout=1200)
    return p.returncode, p.stdout, p.stderr


def needle_angle(image):
    """Clockwise degrees from pointing left of the red needle pixels around the pivot."""
    rgb = image.convert("RGB")
    sx = sy = 0.0
    n = 0
    for y in range(PIVOT[1] - 80, PIVOT[1] + 81):
        for x in range(PIVOT[0] - 80, PIVOT[0] + 81):
            dx, dy = x - PIVOT[0], y - PIVOT[1]
            if not 25 <= math.hypot(dx, dy) <= 75:
                continue
            r, g, b = rgb.getpixel((x, y))
            if r > 180 and g < 90 and b < 90:
                sx += dx
                sy += dy
                n += 1
    if n < 10:
        return None
    return math.degrees(math.atan2(-sy, -sx)) % 360.0


def rpm_angle(rpm):
    return 270.0 * rpm / 8000.0


class BrokenCopies:
    """Copies of the sample set, each with one kind of mistake."""

    def __init__(self, root):
        self.root = root

    def make(self, name, edits=(), remove=(), corrupt=(), extra=None):
        folder = os.path.join(self.root, name)
        shutil.copytree(SAMPLE, folder)
        path = os.path.join(folder, "Gauges.ini")
        with open(path, encoding="utf-8") as f:
            text = f.read()
        for old, new in edits:
            assert old in text, old
            text = text.replace(old, new, 1)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        for r in remove:
            os.remove(os.path.join(folder, r))
        for c in corrupt:
            with open(os.path.join(folder, c), "wb") as f:
                f.write(b"this is no picture")
        if extra:
            with open(os.path.join(folder, extra[0]), "w", encoding="utf-8") as f:
                f.write(extra[1])
        return folder


class GaugeLint(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="gauge-lint-test-")
        copies = BrokenCopies(cls.tmp)
        copies.make("misspelled", edits=[("ValueSource=rpm", "ValueSource=rmp"), ("Format=decimal1", "Format=decimall1"),
                                         ("Direction=right", "Direction=rihgt"), ("Type=effect", "Type=efect")])
        copies.make("images", remove=["cap.png"], corrupt=["needle.png"])
        copies.make("calibration", edits=[("Angle1=270\nValue1=250", "Angle1=270\nValue1=-50")])
        copies.make("claim", extra=("Gauges2.ini", "[Texture]\nTarget=textures/DASHBOARD.png\n"))
        copies.make("number", edits=[("PosX=412\nPosY=128", "PosX=four\nPosY=128")])
        copies.make("order", edits=[("EffectName=WarnBlink", "EffectName=LateBlink")],
                    extra=None)
        with open(os.path.join(cls.tmp, "order", "Gauges.ini"), "a", encoding="utf-8") as f:
            f.write("\n[LateBlink]\nType=effect\nMode=blink\nTrigger=overheat\n")
        copies_warn = BrokenCopies(os.path.join(cls.tmp, "warnings-only"))
        os.mkdir(copies_warn.root)
        copies_warn.make("comma", edits=[("Min=40", "Min=40,5")])
        # One lint run over every broken copy: lines name their file.
        cls.status, cls.out, cls.err = run("lint", cls.tmp, cwd=cls.tmp)
        cls.lines = cls.out.splitlines()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def lines_of(self, case):
        prefix = os.path.join(self.tmp, case) + "/Gauges.ini:"
        return [l[len(prefix):] for l in self.lines if l.startswith(prefix)]

    def test_sample_set_is_clean(self):
        status, out, err = run("lint", SAMPLE)
        self.assertEqual((status, out), (0, ""), err)
        self.assertIn("0 errors, 0 warnings in 1 file", err)

    def test_errors_give_status_1_and_every_line_names_file_section_and_key(self):
        self.assertEqual(self.status, 1, self.err)
        self.assertIn("in 8 files", self.err)  # seven copies (one with a second definition) and the warnings-only one
        for line in self.lines:
            self.assertRegex(line, r"^/.+/Gauges2?\.ini:[^:]*:[^:]*: .+")

    def test_misspelled_keywords_with_the_nearest_spelling(self):
        got = self.lines_of("misspelled")
        self.assertIn('Tacho:ValueSource: unknown value source "rmp", did you mean "rpm"?', got)
        self.assertIn('Distance:Format: unknown number format "decimall1", did you mean "decimal1"?', got)
        self.assertIn('WaterBar:Direction: unknown direction "rihgt", did you mean "right"?', got)
        self.assertIn('WarnBlink:Type: unknown section type "efect", did you mean "effect"?', got)
        # The effect section that is no longer one leaves its lamp without effect.
        self.assertIn('OverheatLamp:EffectName: effect "warnblink" is not defined', got)
        self.assertEqual(len(got), 5, got)

    def test_missing_and_undecodable_images(self):
        self.assertEqual(sorted(self.lines_of("images")),
                         ['Tacho:Image: image "needle.png" cannot be decoded', 'TachoCap:Image: image "cap.png" is missing'])

    def test_calibration_out_of_order(self):
        self.assertEqual(self.lines_of("calibration"), ["SpeedPie:Value1: calibration out of order: below Value0"])

    def test_two_definitions_claiming_one_texture(self):
        got = self.lines_of("claim")
        self.assertEqual(len(got), 1, got)
        self.assertRegex(got[0], r'^Texture:Target: "Textures\\dashboard.png" is claimed by .*claim/Gauges2.ini as well$')
        second = [l for l in self.lines if "/claim/Gauges2.ini:" in l]
        self.assertTrue(any("is claimed by" in l and l.endswith("claim/Gauges.ini as well") for l in second), second)

    def test_number_that_does_not_parse(self):
        self.assertEqual(self.lines_of("number"), ['SpeedPie:PosX: not a number: "four"; the default is used'])

    def test_effect_named_before_it_is_defined(self):
        self.assertEqual(self.lines_of("order"), [
            'OverheatLamp:EffectName: effect "lateblink" is defined below this element: the element draws without it'])

    def test_warnings_alone_leave_status_0(self):
        status, out, err = run("lint", os.path.join(self.tmp, "warnings-only"))
        self.assertEqual(status, 0, err)
        self.assertEqual(out.splitlines(), [os.path.join(self.tmp, "warnings-only", "comma") +
                                            '/Gauges.ini:WaterBar:Min: warning: "40,5" is read as 40: '
                                            'the text after the number is ignored'])

    def test_relative_paths_are_shown_as_written_and_bad_paths_are_usage_errors(self):
        status, out, _ = run("lint", "calibration/Gauges.ini", cwd=self.tmp)
        self.assertEqual(status, 1)
        self.assertEqual(out, "calibration/Gauges.ini:SpeedPie:Value1: calibration out of order: below Value0\n")
        status, out, err = run("lint", "no-such-folder", cwd=self.tmp)
        self.assertEqual((status, out), (2, ""))
        self.assertIn("no-such-folder: no such file or folder", err)


class GaugePreview(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="gauge-preview-test-")
        cls.definition = os.path.join(SAMPLE, "Gauges.ini")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def still(self, name, *sets, definition=None):
        out = os.path.join(self.tmp, name)
        args = [definition or self.definition, "--out", out]
        for s in sets:
            args += ["--set", s]
        status, stdout, err = run("preview", *args)
        self.assertEqual(status, 0, err)
        self.assertIn("wrote " + out + " (512 x 256)", stdout)
        with Image.open(out) as image:
            return image.copy()

    def test_needle_gear_and_digits_follow_the_values_set(self):
        low = self.still("low.png", "rpm=1000", "gear=1", "speed=0")
        high = self.still("high.png", "rpm=6000", "gear=4", "speed=180")
        self.assertEqual(low.size, (512, 256))
        self.assertAlmostEqual(needle_angle(low), rpm_angle(1000), delta=6)
        self.assertAlmostEqual(needle_angle(high), rpm_angle(6000), delta=6)
        gear_box = (236, 20, 276, 76)
        self.assertNotEqual(low.crop(gear_box).tobytes(), high.crop(gear_box).tobytes())
        speed_pie = (330, 46, 494, 210)
        self.assertNotEqual(low.crop(speed_pie).tobytes(), high.crop(speed_pie).tobytes())
        # What no value drives stays as it is: the tacho's scale at its top left.
        corner = (0, 0, 40, 40)
        self.assertEqual(low.crop(corner).tobytes(), high.crop(corner).tobytes())
        # A set's folder stands for its Gauges.ini.
        by_folder = self.still("high-folder.png", "rpm=6000", "gear=4", "speed=180", definition=SAMPLE)
        self.assertEqual(by_folder.tobytes(), high.tobytes())

    def test_sweep_makes_a_gif_of_the_requested_frames_with_the_needle_moving(self):
        out = os.path.join(self.tmp, "sweep.gif")
        status, stdout, err = run("preview", self.definition, "--sweep", "rpm=0:8000", "--frames", "12",
                                  "--fps", "10", "--out", out)
        self.assertEqual(status, 0, err)
        self.assertIn("12 frames at 10 fps", stdout)
        angles, frames = [], []
        with Image.open(out) as gif:
            self.assertEqual(gif.n_frames, 12)
            self.assertEqual(gif.info.get("duration"), 100)
            for i in range(gif.n_frames):
                gif.seek(i)
                frame = gif.convert("RGB")
                frames.append(frame.tobytes())
                angles.append(needle_angle(frame))
        self.assertNotIn(None, angles)
        self.assertEqual(len(set(frames)), 12)  # every frame differs from every other
        self.assertAlmostEqual(angles[0], 0.0, delta=6)
        # The spring lags behind the value but follows it up the scale.
        for a, b in zip(angles[2:], angles[3:]):
            self.assertGreater(b, a - 1)
        self.assertGreater(angles[-1], 180)
        self.assertLess(angles[-1], rpm_angle(8000) + 6)

    def test_unknown_value_names_and_bad_files_are_clear_errors(self):
        status, _, err = run("preview", self.definition, "--set", "rpn=3000",
                             "--out", os.path.join(self.tmp, "x.png"))
        self.assertEqual(status, 2)
        self.assertIn('unknown value "rpn", did you mean "rpm"?', err)
        status, _, err = run("preview", os.path.join(self.tmp, "absent.ini"),
                             "--out", os.path.join(self.tmp, "x.png"))
        self.assertEqual(status, 1)
        self.assertIn("cannot read the definition file " + os.path.join(self.tmp, "absent.ini"), err)
        self.assertFalse(os.path.exists(os.path.join(self.tmp, "x.png")))

    def test_broken_copy_from_another_folder_still_renders_and_says_what_is_missing(self):
        folder = BrokenCopies(self.tmp).make("broken", remove=["needle.png"])
        work = os.path.join(self.tmp, "elsewhere")
        os.mkdir(work)
        status, _, err = run("preview", "../broken/Gauges.ini", "--set", "rpm=6000", "--out", "shot.png",
                             cwd=work)
        self.assertEqual(status, 0, err)
        self.assertIn('../broken/Gauges.ini:Tacho:Image: image "needle.png" is missing', err)
        with Image.open(os.path.join(work, "shot.png")) as shot:
            self.assertIsNone(needle_angle(shot))
        self.assertEqual(sorted(os.listdir(work)), ["shot.png"])  # the plug-in code's own files went elsewhere
        self.assertTrue(os.path.isdir(folder))


if __name__ == "__main__":
    unittest.main(verbosity=2)
