"""Frame metadata on the arrays of snap() and stream(), and
camera.statistics."""

import time

import numpy as np

import lumvek
from conftest import CAMERAS, HEIGHT, WIDTH


def test_streamed_frames_carry_rising_numbers_times_and_settings(daemon):
    with lumvek.Camera(CAMERAS["chart"]) as camera:
        camera.color_mode = 8
        camera.exposure = 77
        before_ns = time.monotonic_ns()
        frames = [frame for frame in camera.stream(count=8)]
        after_ns = time.monotonic_ns()
        statistics = camera.statistics
    assert all(isinstance(f, lumvek.Frame) and f.flags["OWNDATA"] for f in frames)
    metadata = [f.metadata for f in frames]
    numbers = [m.frame_number for m in metadata]
    assert all(later > earlier for earlier, later in zip(numbers, numbers[1:])), numbers
    for earlier, later in zip(metadata, metadata[1:]):
        assert later.frames_lost_before == later.frame_number - earlier.frame_number - 1
    for m in metadata:
        # The host's clocks: the same CLOCK_MONOTONIC as time.monotonic_ns.
        assert before_ns <= m.header_monotonic_ns <= m.complete_monotonic_ns <= m.delivered_monotonic_ns <= after_ns
        assert abs(m.complete_wall_ns - time.time_ns()) < 60 * 10**9
        assert m.color_mode == 8 and m.exposure == 77
        assert m.window == (0, 0, WIDTH, HEIGHT)
    assert statistics.frames_delivered >= len(frames)
    assert statistics.latency_samples >= len(frames)
    assert 0 < statistics.latency_median_ns <= statistics.latency_p99_ns
    assert statistics.bytes_delivered >= len(frames) * WIDTH * HEIGHT
    # Every frame from the first to the last was handed over or counted lost
    # somewhere; the stream passes over frames that came while Python was busy.
    lost = statistics.frames_lost_in_transfer + statistics.frames_overwritten + statistics.frames_not_delivered
    assert statistics.frames_delivered + lost >= numbers[-1] - numbers[0] + 1


def test_a_slow_reader_is_told_of_the_frames_the_stream_passed_over(daemon):
    with lumvek.Camera(CAMERAS["chart"]) as camera:
        camera.color_mode = 8
        metadata = []
        for frame in camera.stream(count=4):
            metadata.append(frame.metadata)
            time.sleep(0.3)  # several frame periods: newer frames queue up meanwhile
    gaps = [later.frame_number - earlier.frame_number - 1 for earlier, later in zip(metadata, metadata[1:])]
    assert all(gap > 0 for gap in gaps), gaps
    assert [m.frames_lost_before for m in metadata[1:]] == gaps


def test_snapshots_name_their_frames_and_arithmetic_drops_the_metadata(daemon):
    with lumvek.Camera(CAMERAS["chart"]) as camera:
        camera.color_mode = 24
        first = camera.snap()
        second = camera.snap()
    assert second.metadata.frame_number > first.metadata.frame_number
    assert first.metadata.color_mode == 24 and first.shape == (HEIGHT, WIDTH, 3)
    assert first[10:20].metadata is first.metadata, "a slice is the same frame"
    assert np.array_equal(np.asarray(first), first), "still a plain array underneath"
