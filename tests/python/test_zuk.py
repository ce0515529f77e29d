"""The Python package: its arrays against the command line's reads, its
errors, paths, progress and batches (here and on Dask), and installing it."""
import contextlib
import os
import pathlib
import re
import shutil
import signal
import subprocess
import threading
import wave

import numpy
import pytest
import zuk

ROOT = pathlib.Path(__file__).resolve().parents[2]
SAMPLE = ROOT / "samples" / "testcard-aac.mp4"
MEDIA = pathlib.Path(os.environ["ZUK_MEDIA_DIR"])
SOURCES = [SAMPLE, MEDIA / "mkv-vorbis.mkv", MEDIA / "ts-mp2.m2t"]


def cli_read(folder, source, *options):
    """The bytes of the WAV `zuk read` writes of the rest of `source`'s sound,
    and the frame it says it started at."""
    out = folder / "cli.wav"
    run = subprocess.run([os.environ["ZUK_CLI"], "read", source, out,
                          "--frames", "100000000", *options], check=True,
                         capture_output=True, text=True)
    with wave.open(str(out)) as sound:
        samples = sound.readframes(sound.getnframes())
    said = run.stdout + run.stderr
    return samples, int(re.search(r"from frame (\d+)", said)[1])


@pytest.mark.parametrize("stereo", [False, True])
@pytest.mark.parametrize("source", SOURCES, ids=lambda path: path.name)
def test_reads_equal_the_command_line(tmp_path, source, stereo):
    expected, _ = cli_read(tmp_path, source, *["--stereo"] * stereo)
    samples, rate = zuk.load(source, stereo=stereo)
    assert (rate, samples.shape[1:]) == (48000, (2,) * stereo)
    assert samples.tobytes() == expected
    with zuk.Reader(str(source)) as sound:
        blocks = list(sound) if not stereo else list(sound.blocks(stereo=True))
    assert numpy.concatenate(blocks).tobytes() == expected
    floats, _ = zuk.load(source, stereo, numpy.float32)
    assert floats.dtype == numpy.float32
    assert numpy.array_equal(floats, samples / 32768)


@pytest.mark.parametrize("options, seek", [
    (["--seek-sample", "1000"], dict(frame=1000)),
    (["--seek-time", "1.5"], dict(seconds=1.5, whence=os.SEEK_SET)),
    (["--seek-sample", "-4800", "--from", "end"],
     dict(frame=-4800, whence="end")),
])
def test_seeks_land_where_the_command_line_does(tmp_path, options, seek):
    expected, start = cli_read(tmp_path, SAMPLE, *options)
    with zuk.Reader(SAMPLE) as sound:
        assert sound.seek(**seek) == start
        assert sound.read().tobytes() == expected
        assert sound.position == start + len(expected) // 2


def truncated(folder):
    cut = folder / "cut.mp4"
    cut.write_bytes(SAMPLE.read_bytes()[:2000])
    return cut


@pytest.mark.parametrize("make, code, reason", [
    (lambda folder: folder / "missing.mp4", -1, "cannot find the file"),
    (lambda folder: folder, -1, "Not a regular file"),
    (truncated, -5, "holds no sound"),
])
def test_unreadable_files_raise_the_reason(tmp_path, make, code, reason):
    with pytest.raises(zuk.ZukError, match=reason) as caught:
        zuk.load(make(tmp_path))
    assert caught.value.code == code


def test_a_reader_outlives_its_file_and_refuses_use_once_closed(tmp_path):
    doomed = tmp_path / "doomed.mp4"
    shutil.copy(SAMPLE, doomed)
    sound = zuk.Reader(doomed)
    doomed.unlink()
    assert sound.read().tobytes() == zuk.load(SAMPLE)[0].tobytes()
    sound.close()
    sound.close()
    for use in (sound.read, lambda: sound.position, lambda: sound.seek(0)):
        with pytest.raises(ValueError, match="closed"):
            use()


@pytest.mark.parametrize("form", [str, pathlib.Path, os.fsencode])
def test_every_path_form_names_the_file(tmp_path, form):
    """Names that are no UTF-8 reach both the UTF-16 and the byte entry
    points."""
    source = os.path.join(os.fsencode(tmp_path), b"lat\xe9.mp4")
    shutil.copy(SAMPLE, source)
    out = os.path.join(os.fsencode(tmp_path), b"out\xff.wav")
    assert zuk.extract(form(os.fsdecode(source)), form(os.fsdecode(out))) == 0
    assert os.path.getsize(out) > 192000
    assert len(zuk.load(form(os.fsdecode(source)))[0]) > 0


@pytest.mark.parametrize("call, code, describe", [
    (lambda d: zuk.extract(d / "missing.mp4", d / "o.wav"), -4,
     "zuk_result_text"),
    (lambda d: zuk.mp4_unwrap(SAMPLE, d / "o.wav"), -1, "zuk_result_text"),
    (lambda d: zuk.wrap_avi(d / "missing.mp4", d / "o.avi"), None,
     "zuk_hresult_text"),
])
def test_failed_operations_raise_the_library_text(tmp_path, call, code,
                                                  describe):
    from zuk._library import library
    with pytest.raises(zuk.ZukError) as caught:
        call(tmp_path)
    assert code in (None, caught.value.code) and caught.value.code < 0
    text = getattr(library(), describe)(caught.value.code).decode()
    assert caught.value.text == text


def test_progress_is_reported_and_its_exceptions_raised(tmp_path):
    seen = []
    assert zuk.extract(SAMPLE, tmp_path / "a.wav", seen.append) == 0
    assert seen and all(0 <= percent <= 100 for percent in seen)

    def refuse(percent):
        raise KeyError(percent)
    with pytest.raises(KeyError):
        zuk.resample(tmp_path / "a.wav", tmp_path / "b.wav", 44100, refuse)


@pytest.fixture
def batch(tmp_path):
    """The sources, and two files named alike in two folders."""
    for day in ("day1", "day2"):
        (tmp_path / day).mkdir()
        shutil.copy(SAMPLE, tmp_path / day / "take.mp4")
    return SOURCES + [tmp_path / "day1/take.mp4", tmp_path / "day2/take.mp4"]


def outcome(records, outdir):
    """The records but their times, and the outputs' names and bytes."""
    return [(r["input"], r["result"], r["result_text"], r["skipped"],
             r["audio_seconds"], os.path.relpath(r["output"], outdir),
             pathlib.Path(r["output"]).read_bytes()) for r in records]


def test_a_batch_extracts_once_unless_forced(tmp_path, batch):
    runs = [zuk.extract_many(batch, tmp_path / "out", jobs=2, force=force)
            for force in (False, False, True)]
    assert [[r["skipped"] for r in run] for run in runs] == [
        [False] * 5, [True] * 5, [False] * 5]
    first, one = runs[0][0], tmp_path / "one.wav"
    assert (zuk.extract(SAMPLE, one), 4.0) == (first["result"],
                                               first["audio_seconds"])
    assert pathlib.Path(first["output"]).read_bytes() == one.read_bytes()


PRESS_CTRL_C = threading.Timer(0.02, os.kill, (os.getpid(), signal.SIGINT))


def ctrl_c(progress):
    """Pressed while the library works, not inside a callback."""
    if not PRESS_CTRL_C.ident:
        PRESS_CTRL_C.start()


def interrupt(progress):
    raise KeyboardInterrupt


@pytest.mark.parametrize("stop, raised", [
    (lambda progress: True, None), (interrupt, KeyboardInterrupt),
    (ctrl_c, KeyboardInterrupt)])
def test_a_stopped_batch_leaves_only_complete_outputs(tmp_path, stop,
                                                      raised):
    outputs = [tmp_path / f"{index}.wav" for index in range(8)]
    with pytest.raises(raised) if raised else contextlib.nullcontext():
        zuk.extract_many([SAMPLE] * 8, outputs=outputs, jobs=1,
                         progress=stop)
    kept = os.listdir(tmp_path)
    assert len(kept) < 8 and not [name for name in kept if name[0] == "."]
    again = zuk.extract_many([SAMPLE] * 8, outputs=outputs, jobs=1)
    assert [r["skipped"] for r in again] == [o.name in kept for o in outputs]
    assert len({output.read_bytes() for output in outputs}) == 1


def test_a_dask_cluster_extracts_as_this_process_does(tmp_path, batch):
    from distributed import Client, LocalCluster
    here = zuk.extract_many(batch, tmp_path / "here")
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster:
        with Client(cluster) as client:
            farmed = zuk.extract_many(batch, tmp_path / "farm",
                                      client=client)
    assert outcome(farmed, tmp_path / "farm") == outcome(here,
                                                         tmp_path / "here")


def test_installs_into_a_fresh_venv(tmp_path):
    shutil.copytree(ROOT / "python", tmp_path / "src")
    python = tmp_path / "venv" / "bin" / "python"
    subprocess.run(["/usr/bin/python3", "-m", "venv", "--system-site-packages",
                    tmp_path / "venv"], check=True)
    subprocess.run([python, "-m", "pip", "install", "-q", "--no-index",
                    "--no-build-isolation", tmp_path / "src"], check=True)
    env = {k: v for k, v in os.environ.items()
           if k not in ("ZUK_LIBRARY", "PYTHONPATH")}

    def run(code):
        return subprocess.run([python, "-c", code], cwd=ROOT, env=env,
                              check=True, capture_output=True,
                              text=True).stdout
    # The library goes beside the installed package, where it is looked for.
    shutil.copy(os.environ["ZUK_LIBRARY"], run(
        "import zuk, os; print(os.path.dirname(zuk.__file__), end='')"))
    shown = run("import zuk; a, r = zuk.load('samples/testcard-aac.mp4');"
                " print(a.shape, r)")
    assert shown == f"{zuk.load(SAMPLE)[0].shape} 48000\n"
