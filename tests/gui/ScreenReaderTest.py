#!/usr/bin/python3
"""An applicant's day with Orca, Debian's screen reader, on the real window.

Starts Xvfb, a session bus, the accessibility bus, Orca (speech into its
debug log) and the window; drives a rejection, a pass, a save, the About box
and the exit by keyboard; and checks what Orca says, in order: after each
dialog the new state first (at most the window's title before it), the
instructions once, when the window first appears, and within reach of the
review keys. Every process it starts is stopped at the end, also on failure.

Usage: ScreenReaderTest.py QUORVEL DATA_DIR CASCADE. Exits 77 (skipped) when
a program it needs is missing. QUORVEL_KEEP=1 keeps its folder (Orca's whole
debug log, the window's standard error) for a look after a failure.
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

TITLE = "照片审核处理工具"
INSTRUCTIONS = "工具使用说明："
WAIT_SECONDS = 40  # for any one thing Orca should say; polled, not slept
DEADLINE_SECONDS = 150  # for the whole day, within the suite's timeout
SPEECH = re.compile(r"SPEECH OUTPUT: '(.*)'\s*(\[?\{[^{}]*\}\]?)?\s*$")
PRUNED = re.compile(r"EVENT MANAGER: (\d+) events pruned")


def die_with_parent():
    # The desktop goes with this script, even when the script is killed.
    import ctypes
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def alone():
    """Orca will not start while its user runs another Orca (other sessions
    on a shared machine): in a process namespace of its own it sees none."""
    namespace = ["unshare", "--pid", "--fork", "--mount-proc", "--kill-child=SIGTERM"]
    if subprocess.run(namespace + ["true"], stderr=subprocess.DEVNULL).returncode == 0:
        return namespace
    return []


class Desktop:
    """The processes of one session, each in a process group of its own."""

    def __init__(self, root):
        self.root = root
        self.processes = []
        self.env = dict(os.environ, LC_ALL="C.UTF-8", LANG="C.UTF-8")
        for name in ("HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                     "XDG_RUNTIME_DIR"):
            self.env[name] = os.path.join(root, name.lower())
            os.makedirs(self.env[name], mode=0o700)
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS",
                     "AT_SPI_BUS_ADDRESS", "QT_QPA_PLATFORM"):
            self.env.pop(name, None)

    def start(self, args, env=None, **options):
        process = subprocess.Popen(args, env=env or self.env, start_new_session=True,
                                   preexec_fn=die_with_parent, **options)
        self.processes.append(process)
        return process

    def stop(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGTERM)
        deadline = time.monotonic() + 5
        for process in reversed(self.processes):
            try:
                process.wait(max(0.1, deadline - time.monotonic()))
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()

    def open_display(self):
        # Xvfb picks a free display and writes its number; another session's
        # Xvfb starting at the same moment can make it give up, so try again.
        for _ in range(3):
            read_end, write_end = os.pipe()
            self.start(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                        "-nolisten", "tcp"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
            os.close(write_end)
            with os.fdopen(read_end) as pipe:
                number = pipe.readline().strip()
            if number:
                break
        assert number, "Xvfb did not start"
        self.env["DISPLAY"] = ":" + number
        bus = self.start(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
        self.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def keys(self, *keys):
        subprocess.run(["xdotool", "key", "--delay", "150", *keys], env=self.env, check=True)

    def type(self, text):
        subprocess.run(["xdotool", "type", "--delay", "20", text], env=self.env, check=True)


class Speech:
    """What Orca has said, from the SPEECH OUTPUT lines of its debug log, and
    how many events it has queued but not yet handled."""

    def __init__(self, log):
        self.log = log
        self.said = []
        self.on = 0  # where the window's speech begins
        self.backlog = 0
        self.offset = 0

    def read(self):
        if not os.path.exists(self.log):
            return self.said
        with open(self.log, "rb") as log:
            log.seek(self.offset)
            lines = log.read().split(b"\n")
        self.offset += sum(len(line) + 1 for line in lines[:-1])
        for line in (raw.decode("utf-8", "replace") for raw in lines[:-1]):
            speech = SPEECH.search(line)
            if speech:
                self.said.append(speech.group(1).rstrip("."))
            elif "EVENT MANAGER: Queueing " in line:
                self.backlog += 1
            elif "EVENT MANAGER: Dequeued " in line:
                self.backlog -= 1
            elif PRUNED.search(line):
                self.backlog -= int(PRUNED.search(line).group(1))
        return self.said

    def wait_for(self, found, what, since=0):
        """The index of the first utterance from since on that found()
        accepts; fails after WAIT_SECONDS."""
        deadline = time.monotonic() + WAIT_SECONDS
        while time.monotonic() < deadline:
            for index, utterance in enumerate(self.read()[since:], since):
                if found(utterance):
                    return index
            time.sleep(0.1)
        raise AssertionError("Orca never said %s" % what)

    def settle(self):
        """Waits until Orca has handled every event it has queued: a backlog,
        from typing for example, has it drop notifications."""
        deadline = time.monotonic() + WAIT_SECONDS
        while time.monotonic() < deadline:
            self.read()
            if self.backlog <= 0:
                return
            time.sleep(0.1)
        raise AssertionError("Orca never caught up (%d events waiting)" % self.backlog)

    def first_after(self, since, found, what):
        """Waits for what found() accepts and checks that nothing but the
        window's title came before it."""
        index = self.wait_for(found, what, since)
        before = [u for u in self.said[since:index] if not re.fullmatch(TITLE + r"( \w+)?", u)]
        assert not before, "before %s Orca said %r" % (what, before)
        return index


def contains(text):
    return lambda utterance: text in utterance


def day(desktop, speech, window, data):
    out = os.path.join(desktop.root, "work", "out")
    # Start-up: the title, the instructions, then the focus on Open.
    start = speech.first_after(speech.on, contains(INSTRUCTIONS), "the instructions")
    speech.wait_for(contains("打开照片 push button"), "the Open button", start)
    steps = [
        ("a rejection", data + "/portrait.jpg", "notification 不符合要求。原因：", "打开照片 push button"),
        ("a pass", data + "/id_blue.jpg", "notification 符合要求。处理后的照片 295×413 像素", "保存照片 push button"),
        ("a save", out + "/orca-saved.jpg", "notification 已保存：out/orca-saved.jpg", "打开照片 push button"),
    ]
    for what, path, state, focus in steps:
        mark = len(speech.read())
        desktop.keys("Return")
        speech.wait_for(contains(" dialog"), "the file dialog of " + what, mark)
        desktop.keys("ctrl+a")
        desktop.type(path)
        speech.settle()
        mark = len(speech.read())
        desktop.keys("Return")
        verdict = speech.first_after(mark, lambda u: u.startswith(state), what)
        speech.wait_for(contains(focus), "the focus after " + what, verdict)
    assert os.path.getsize(out + "/orca-saved.jpg") > 0

    # About, from the window menu: its version, then back to the focus alone.
    mark = len(speech.read())
    desktop.keys("alt+space")
    speech.wait_for(contains("最小化(N)"), "the window menu", mark)
    desktop.keys("a")
    speech.wait_for(contains("关于 Quorvel dialog Quorvel，"), "the About box", mark)
    speech.settle()
    mark = len(speech.read())
    desktop.keys("Return")
    speech.first_after(mark, contains("打开照片 push button"), "the focus after About")

    # The review keys reach the instructions: Orca+9 on the keypad reads the
    # window's bottom line.
    review = len(speech.read())
    desktop.keys("KP_Insert+KP_Prior")
    speech.wait_for(contains(INSTRUCTIONS), "the instructions on review", review)

    desktop.keys("Escape")
    try:
        assert window.wait(WAIT_SECONDS) == 0, "the window ended with a failure"
    except subprocess.TimeoutExpired:
        raise AssertionError("Esc did not close the window")
    heard = [u for u in speech.said[:review] if INSTRUCTIONS in u]
    assert len(heard) == 1, "the instructions were heard %d times" % len(heard)


def main():
    quorvel, data, cascade = map(os.path.abspath, sys.argv[1:4])
    for program in ("Xvfb", "dbus-daemon", "orca", "xdotool", "/usr/libexec/at-spi-bus-launcher"):
        if shutil.which(program) is None:
            print("skipped: %s is not installed (scripts/setup.sh installs it)" % program)
            return 77
    def give_up(*_):
        raise AssertionError("stopped before the day was over")

    signal.signal(signal.SIGTERM, give_up)
    signal.signal(signal.SIGALRM, give_up)
    signal.alarm(DEADLINE_SECONDS)
    root = tempfile.mkdtemp(prefix="quorvel-orca-")
    desktop = Desktop(root)
    speech = Speech(os.path.join(root, "orca.log"))
    try:
        desktop.open_display()
        # Speech into the debug log only, a line at a time: no speech
        # server, no key echo.
        settings = os.path.join(desktop.env["XDG_DATA_HOME"], "orca")
        os.makedirs(settings)
        with open(os.path.join(settings, "orca-customizations.py"), "w") as custom:
            custom.write("import orca.debug\norca.debug.debugFile.reconfigure(line_buffering=True)\n")
        with open(os.path.join(settings, "user-settings.conf"), "w") as conf:
            conf.write('{"general": {}, "pronunciations": {}, "keybindings": {}, "profiles":'
                       ' {"default": {"profile": ["Default", "default"], "enableKeyEcho": false}}}')
        desktop.start(alone() + ["orca", "--debug-file", speech.log],
                      env=dict(desktop.env, SPEECHD_CMD="/bin/false"),
                      stdout=subprocess.DEVNULL, stderr=open(speech.log + ".err", "w"))
        speech.on = speech.wait_for(contains("Screen reader on"), "that it is on") + 1
        work = os.path.join(root, "work")
        os.makedirs(os.path.join(work, "out"))
        with open(os.path.join(work, "cfg.ini"), "w") as cfg:
            cfg.write("[set]\ncolor=3\nsize=1\n")
        shutil.copy(cascade, work)
        window = desktop.start([quorvel], cwd=work, stderr=open(root + "/quorvel.err", "w"),
                               env=dict(desktop.env, QT_QPA_PLATFORM="xcb",
                                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))
        day(desktop, speech, window, data)
        print("\n".join(speech.read()))
        return 0
    except AssertionError as failure:
        print("\n".join(speech.read()))
        print("FAILED:", failure)
        return 1
    finally:
        desktop.stop()
        if os.environ.get("QUORVEL_KEEP"):
            print("kept:", root)
        else:
            shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
