"""Faults a careful user meets: outputs that are not regular files are written through
(never replaced), a machine that fails the run is one line and status 1, a signal leaves
no temporary file and one line, and no traceback ever reaches the user."""

import os
import signal
import stat
import subprocess
import sys
import threading
import time

import pytest

from cli_support import SAMPLE, need, run

need("pandas", "python3-pandas")

COMMAND = [sys.executable, "-m", "tessaryn"]
SMALL = b"date,close\n" + b"".join(b"2020-01-%02d,%d\n" % (day, 10 + day % 4)
                                   for day in range(1, 29))


def _command(*arguments, **options):
    return subprocess.run(COMMAND + [str(a) for a in arguments], capture_output=True,
                          timeout=120, **options)


def _one_line(stderr: bytes) -> str:
    text = stderr.decode()
    assert text.count("\n") == 1 and "Traceback" not in text, text
    return text


def test_a_device_is_written_through_not_replaced(tmp_path):
    # A null device of our own standing in for /dev/null: the real one is the machine's,
    # and a test must not risk it.
    device = tmp_path / "null"
    try:
        os.mknod(device, stat.S_IFCHR | 0o666, os.makedev(1, 3))
    except (PermissionError, OSError) as error:
        pytest.skip(f"cannot make a device node here: {error}")
    result = run(SAMPLE, "--column", "DAX", "--output", device)
    assert (result.status, result.out, result.err) == (0, "", "")
    assert stat.S_ISCHR(os.stat(device).st_mode)
    assert os.stat(device).st_rdev == os.makedev(1, 3)
    assert sorted(p.name for p in tmp_path.iterdir()) == ["null"]


def test_a_fifo_gets_the_whole_csv_and_stays_a_fifo(tmp_path):
    fifo = tmp_path / "pipe"
    os.mkfifo(fifo)
    received = []
    reader = threading.Thread(target=lambda: received.append(fifo.read_bytes()))
    reader.start()
    result = run(SAMPLE, "--column", "SMI", "--output", fifo)
    reader.join(30)
    assert result.status == 0, result.err
    assert stat.S_ISFIFO(os.stat(fifo).st_mode)
    assert received[0].startswith(b"time,SMI,trend,cycle,model\n")
    assert received[0].count(b"\n") == 1861
    assert sorted(p.name for p in tmp_path.iterdir()) == ["pipe"]


def test_a_symlink_is_kept_and_its_target_replaced(tmp_path):
    target = tmp_path / "data" / "real.csv"
    target.parent.mkdir()
    target.write_bytes(b"old\n")
    link = tmp_path / "link.csv"
    link.symlink_to(target)
    result = run(SAMPLE, "--column", "CAC", "--output", link)
    assert result.status == 0, result.err
    assert link.is_symlink() and os.readlink(link) == str(target)
    assert target.read_bytes().startswith(b"time,CAC,")
    assert sorted(p.name for p in target.parent.iterdir()) == ["real.csv"]


def test_dev_stdout_and_dash_are_standard_output(tmp_path):
    (tmp_path / "in.csv").write_bytes(SMALL)
    for target in ("/dev/stdout", "-"):
        done = _command(tmp_path / "in.csv", "--period", 3, "--output", target)
        assert done.returncode == 0, done.stderr
        assert done.stdout.startswith(b"date,close,trend,cycle,model\n")
        assert done.stdout.count(b"\n") == 29
    assert sorted(p.name for p in tmp_path.iterdir()) == ["in.csv"]


ENVIRONMENT = [
    ("full disk for --output", ["--output", "/dev/full"], {},
     "tessaryn: cannot write /dev/full: No space left on device\n"),
    ("full disk for --chart", ["--chart", "LINK"], {}, None),
    ("standard output on a full disk", [], {"stdout": "/dev/full"},
     "tessaryn: cannot write standard output: No space left on device\n"),
    ("standard output closed", ["--rows", "3"], {"stdout": "closed"},
     "tessaryn: cannot write standard output: it is closed\n"),
    ("CSV to a closed standard output", [], {"stdout": "closed"},
     "tessaryn: cannot write standard output: it is closed\n"),
    ("standard input closed", ["-"], {"stdin": "closed"},
     "tessaryn: cannot read standard input: it is closed\n"),
    ("unreadable input", ["/proc/self/mem"], {},
     "tessaryn: cannot read /proc/self/mem: Input/output error\n"),
]


@pytest.mark.parametrize("case, arguments, streams, message", ENVIRONMENT,
                         ids=[c[0] for c in ENVIRONMENT])
def test_environment_failures_are_one_line_and_status_1(tmp_path, case, arguments, streams,
                                                        message):
    if "LINK" in arguments:  # a chart's name ends in .svg: a link of that name to /dev/full
        links = tmp_path.parent / f"{tmp_path.name}-links"
        links.mkdir()
        (links / "full.svg").symlink_to("/dev/full")
        arguments = [str(links / "full.svg") if a == "LINK" else a for a in arguments]
        message = f"tessaryn: cannot write {links / 'full.svg'}: No space left on device\n"
    (tmp_path / "in.csv").write_bytes(SMALL)
    (tmp_path / "old.csv").write_bytes(b"old\n")
    source = [] if arguments[:1] in (["-"], ["/proc/self/mem"]) else [tmp_path / "in.csv"]
    options = {}
    closing = []
    if streams.get("stdout") == "/dev/full":
        options["stdout"] = open("/dev/full", "wb")
    if streams.get("stdout") == "closed":
        closing.append(1)
    if streams.get("stdin") == "closed":
        closing.append(0)
    if closing:
        options["preexec_fn"] = lambda: [os.close(fd) for fd in closing]
    done = subprocess.run(COMMAND + [str(a) for a in source + arguments], timeout=120,
                          stderr=subprocess.PIPE, **{"stdout": subprocess.PIPE, **options})
    assert done.returncode == 1
    assert _one_line(done.stderr) == message
    assert sorted(p.name for p in tmp_path.iterdir()) == ["in.csv", "old.csv"]
    assert (tmp_path / "old.csv").read_bytes() == b"old\n"


SIGNALS = ["SIGHUP", "SIGINT", "SIGQUIT", "SIGTERM", "SIGUSR1", "SIGUSR2"]


@pytest.mark.parametrize("name", SIGNALS)
def test_a_signal_leaves_no_temporary_file_and_one_line(tmp_path, name):
    """The run waits for its standard input with its output staged: the signal then."""
    (tmp_path / "out.csv").write_bytes(b"old\n")
    process = subprocess.Popen(COMMAND + ["-", "--output", str(tmp_path / "out.csv")],
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE)
    deadline = time.monotonic() + 60
    while len(os.listdir(tmp_path)) < 2 and time.monotonic() < deadline:
        time.sleep(0.02)
    assert len(os.listdir(tmp_path)) == 2  # out.csv and the staged .partial file
    process.send_signal(getattr(signal, name))
    _, stderr = process.communicate(timeout=60)
    number = getattr(signal, name)
    assert process.returncode == 128 + number
    assert _one_line(stderr) == f"tessaryn: stopped by {name}; no output file was changed\n"
    assert os.listdir(tmp_path) == ["out.csv"]
    assert (tmp_path / "out.csv").read_bytes() == b"old\n"


def test_a_wide_header_costs_what_its_rows_cost(tmp_path):
    """30,000 columns, a header longer than csv's field limit: read once, not once a
    column."""
    columns = 30_000
    header = ",".join(f"c{i}" for i in range(columns))
    row = ",".join("1" for _ in range(columns))
    (tmp_path / "wide.csv").write_text(header + "\n" + (row + "\n") * 3)
    started = time.monotonic()
    result = run(tmp_path / "wide.csv", "--column", "c7", "--period", 1, "--rows", 1)
    assert result.status == 0, result.err
    assert time.monotonic() - started < 20


def test_no_traceback_for_a_quoted_never_closed_cell(tmp_path):
    (tmp_path / "in.csv").write_bytes(b'date,close\n2020-01-01,"1\n2020-01-02,2\n')
    done = _command(tmp_path / "in.csv")
    assert done.returncode == 2 and _one_line(done.stderr).startswith("tessaryn: ")


def test_a_reader_that_stops_early_leaves_no_temporary_file(tmp_path):
    """head -1 on the CSV with a chart staged: the broken pipe ends the run, one line,
    status 1, and the staged chart is removed."""
    big = b"date,close\n" + b"".join(b"%d,%d\n" % (row, 10 + row % 9) for row in range(300_000))
    (tmp_path / "in.csv").write_bytes(big)
    process = subprocess.Popen(COMMAND + [str(tmp_path / "in.csv"), "--output", "-", "--chart",
                                          str(tmp_path / "c.svg")],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    assert process.stdout.readline() == b"date,close,trend,cycle,model\n"
    process.stdout.close()
    stderr = process.stderr.read()
    process.wait(timeout=120)
    assert process.returncode == 1
    assert _one_line(stderr) == "tessaryn: cannot write standard output: Broken pipe\n"
    assert sorted(p.name for p in tmp_path.iterdir()) == ["in.csv"]
