"""Opening cameras, settings, files and errors."""

import os
import subprocess
import sys
import textwrap

import pytest

import lumvek
from conftest import CAMERAS, HEIGHT, WIDTH, run_python
from lumvek_sim import Daemon


def test_list_cameras_names_every_served_camera(daemon):
    names = lumvek.list_cameras()
    assert names == ["LumvekR13-USB3-K7_01", "LumvekR13-USB3-K7_02", "LumvekR13-USB3-K7_03"]


def test_errors_carry_the_sdk_code_and_words(daemon):
    with pytest.raises(lumvek.Error) as missing:
        lumvek.Camera(7)
    assert missing.value.code == 2
    assert "camera 7 cannot be opened" in str(missing.value)

    with lumvek.Camera(CAMERAS["chart"]) as camera:
        with pytest.raises(lumvek.Error) as bad_mode:
            camera.color_mode = 12
        assert bad_mode.value.code == 9
        assert "out of range" in str(bad_mode.value)
        assert camera.color_mode != 12

        with pytest.raises(lumvek.Error) as bad_value:
            camera.brightness = 256
        assert bad_value.value.code == 9 and "-255..255" in str(bad_value.value)

        with pytest.raises(lumvek.Error) as unknown:
            camera.get("no-such-setting")
        assert unknown.value.code == 9 and "brightness" in str(unknown.value)

    assert issubclass(lumvek.Error, Exception)


def test_two_cameras_and_no_index_say_how_to_choose(daemon):
    with pytest.raises(lumvek.Error) as many:
        lumvek.Camera()
    assert many.value.code == 2
    assert str(many.value).startswith("3 cameras found; choose one with lumvek.Camera(index=N) or lumvek.Camera(id=ID)")


def test_a_closed_camera_refuses_calls(daemon):
    camera = lumvek.Camera(CAMERAS["chart"])
    assert not camera.closed
    camera.close()
    camera.close()  # twice is harmless
    assert camera.closed
    with pytest.raises(lumvek.Error) as closed:
        camera.snap()
    assert closed.value.code == 1 and "closed" in str(closed.value)


def test_settings_by_attribute_and_by_name(daemon):
    with lumvek.Camera(CAMERAS["chart"]) as camera:
        camera.brightness = -20
        assert camera.brightness == -20
        assert camera.get("brightness") == -20
        camera.set("gain-red", 120)
        assert camera.gain_red == 120
        camera.set("GAIN_GREEN", 90)
        assert camera.get("gain-green") == 90
        camera.exposure = 200
        assert camera.exposure == 200
        camera.gain = camera.global_gain
        camera.mirror_h = 1
        assert camera.mirror_h == 1
        camera.mirror_h = 0
        assert camera.mirror_v in (0, 1)
        assert camera.window == (0, 0, WIDTH, HEIGHT)
        with pytest.raises(lumvek.Error) as read_only:
            camera.set("temperature", 1)
        assert read_only.value.code == 9
        with pytest.raises(AttributeError):
            camera.temperature = 1
        camera.brightness = 0


def test_the_r13_takes_only_the_full_window_by_coordinates(daemon):
    with lumvek.Camera(CAMERAS["chart"]) as camera:
        camera.window = (0, 0, WIDTH, HEIGHT)
        with pytest.raises(lumvek.Error) as refused:
            camera.window = (10, 10, 640, 480)
        assert refused.value.code == 9
        assert camera.window == (0, 0, WIDTH, HEIGHT)


def test_save_writes_the_last_picture_in_the_named_format(daemon, tmp_path):
    with lumvek.Camera(CAMERAS["chart"]) as camera:
        camera.color_mode = 24
        with pytest.raises(lumvek.Error):
            camera.save(str(tmp_path / "early.png"))  # no picture yet
        camera.snap()
        camera.save(str(tmp_path / "picture.png"))
        camera.save(str(tmp_path / "picture.out"), format="jpg")
        camera.save(str(tmp_path / "picture.tiff"), format="tif")
        with pytest.raises(lumvek.Error) as unknown:
            camera.save(str(tmp_path / "picture.xyz"))
        assert unknown.value.code == 9
    assert (tmp_path / "picture.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    assert (tmp_path / "picture.out").read_bytes()[:2] == b"\xff\xd8"
    assert (tmp_path / "picture.tiff").read_bytes()[:4] in (b"II*\x00", b"MM\x00*")


def test_record_writes_an_avi_and_points_compressed_video_to_gstreamer(daemon, tmp_path):
    with lumvek.Camera(CAMERAS["chart"]) as camera:
        camera.color_mode = 8
        frames = camera.record(str(tmp_path / "clip.avi"), 500)
        with pytest.raises(lumvek.Error) as mp4:
            camera.record(str(tmp_path / "clip.mp4"), 500)
    assert frames >= 1
    data = (tmp_path / "clip.avi").read_bytes()
    assert data[:4] == b"RIFF" and data[8:12] == b"AVI "
    assert int.from_bytes(data[48:52], "little") == frames
    assert mp4.value.code == 9 and "lumveksrc" in str(mp4.value)
    assert not os.path.exists(tmp_path / "clip.mp4")


def test_the_only_camera_opens_without_an_index_in_a_fresh_process():
    code = textwrap.dedent("""
        import lumvek
        with lumvek.Camera() as camera:
            camera.color_mode = 8
            print(camera.snap().shape)
    """)
    result = run_python(code, {"LUMVEK_SIM_CAMERAS": "product=0x3090,name=only,pattern=ramp"})
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip() == "(%d, %d)" % (HEIGHT, WIDTH)


def test_record_on_a_full_disk_raises_with_the_frames_kept(daemon, tmp_path):
    disk = tmp_path / "disk"
    disk.mkdir()
    # A real filesystem that fills up: three full frames and a bit.
    if os.geteuid() != 0 or subprocess.run(["mount", "-t", "tmpfs", "-o", "size=40m", "tmpfs", str(disk)],
                                           capture_output=True).returncode != 0:
        pytest.skip("a small tmpfs cannot be mounted here (needs root)")
    try:
        path = disk / "full.avi"
        with lumvek.Camera(CAMERAS["chart"]) as camera:
            with pytest.raises(lumvek.Error) as full:
                camera.record(str(path), 20000)
        assert full.value.code == 12
        assert "disk full after 3 frames, file kept" in str(full.value)
        data = path.read_bytes()
        assert int.from_bytes(data[4:8], "little") + 8 == len(data)
        assert int.from_bytes(data[48:52], "little") == 3
        assert sorted(os.listdir(disk)) == ["full.avi"]
    finally:
        subprocess.run(["umount", "-l", str(disk)], check=False)


def test_record_returns_the_frames_written_with_the_frames_skipped(daemon, tmp_path):
    with lumvek.Camera(CAMERAS["chart"]) as camera:
        camera.color_mode = 8
        recording = camera.record(str(tmp_path / "clip.avi"), 300)
    assert isinstance(recording, lumvek.Recording) and isinstance(recording, int)
    assert recording.frames == recording >= 1
    data = (tmp_path / "clip.avi").read_bytes()
    assert int.from_bytes(data[48:52], "little") == recording
    # What the recorder noted in the file, or nothing when it lost no frame.
    note = b"skipped=%d " % recording.skipped
    assert (note in data) == (recording.skipped > 0)


def test_a_camera_another_process_holds_is_named_as_in_use(tmp_path):
    # One camera of its own, served in a folder of its own, held by a child.
    devices = str(tmp_path / "devices")
    os.makedirs(devices)
    saved = os.environ["LUMVEK_DEVICE_DIR"]
    os.environ["LUMVEK_DEVICE_DIR"] = devices
    try:
        solo = Daemon(["product=0x3090,name=solo,pattern=chart"])
    finally:
        os.environ["LUMVEK_DEVICE_DIR"] = saved
    holder_code = textwrap.dedent("""
        import sys
        import lumvek
        with lumvek.Camera() as camera:
            print("open", flush=True)
            sys.stdin.read()
    """)
    env = dict(os.environ, LUMVEK_DEVICE_DIR=devices, LUMVEK_SHM_NAME="/lumvek-holder-%d" % os.getpid(),
               LUMVEK_REGISTRY_FILE=str(tmp_path / "holder.sqlite3"))
    holder = subprocess.Popen([sys.executable, "-c", holder_code], env=env, stdin=subprocess.PIPE,
                              stdout=subprocess.PIPE, text=True)
    try:
        assert holder.stdout.readline().strip() == "open"
        code = textwrap.dedent("""
            import lumvek
            try:
                lumvek.Camera()
            except lumvek.Error as error:
                print(error.code, error)
        """)
        env.update(LUMVEK_SHM_NAME="/lumvek-asker-%d" % os.getpid(), LUMVEK_REGISTRY_FILE=str(tmp_path / "asker.sqlite3"))
        result = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True, timeout=120)
        assert result.returncode == 0, result.stderr
        assert result.stdout.startswith("2 "), result.stdout
        assert "solo (simulated) is in use by process %d (python" % holder.pid in result.stdout, result.stdout
        assert "no camera found" not in result.stdout
    finally:
        holder.stdin.close()
        holder.wait(timeout=60)
        solo.stop()
