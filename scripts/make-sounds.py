#!/usr/bin/env python3
"""Writes the two sounds Parlix plays: src/core/sounds/ringing.wav (a call rings) and
src/core/sounds/SMSNotify.wav (an SMS was stored). Both are plain sine tones made here, so
the program ships nothing it did not make itself. Run again to remake them."""
import math
import os
import struct
import wave

RATE = 16000


def tone(parts):
    """parts: (frequencies, seconds) pieces; no frequencies means silence."""
    samples = []
    for freqs, seconds in parts:
        n = int(RATE * seconds)
        fade = min(n // 2, int(RATE * 0.01))  # no clicks at the edges
        for i in range(n):
            v = sum(math.sin(2 * math.pi * f * i / RATE) for f in freqs) / max(1, len(freqs))
            gain = min(1.0, i / fade, (n - i) / fade) if fade else 1.0
            samples.append(int(v * gain * 0.5 * 32767))
    return samples


def write(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(struct.pack("<%dh" % len(samples), *samples))


here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "core", "sounds")
# Two rings of a two-tone bell.
write(os.path.join(here, "ringing.wav"), tone([((440, 480), 0.4), ((), 0.2), ((440, 480), 0.4)]))
# Two short rising notes.
write(os.path.join(here, "SMSNotify.wav"), tone([((880,), 0.12), ((), 0.05), ((1320,), 0.18)]))
