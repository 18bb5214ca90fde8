#!/usr/bin/env python3
"""Synthesises the app's two event sounds, Tink.wav (the screen locks) and
Pop.wav (it unlocks): 16-bit mono PCM at 44.1 kHz, made from sines alone so
that the output is the same on every run. Writes them into Vude/sounds."""

import math
import os
import struct
import wave

FOLDER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "Vude", "sounds")

RATE = 44100


def envelope(t, attack, decay):
    """A click-free rise over `attack` seconds, then an exponential fall."""
    rise = min(1.0, t / attack)
    return rise * math.exp(-t / decay)


def tink(t):
    # A small bell: a bright fundamental with two inharmonic partials that
    # die away faster than it does.
    f = 2637.0  # E7
    return (0.60 * math.sin(2 * math.pi * f * t) * envelope(t, 0.0015, 0.045)
            + 0.25 * math.sin(2 * math.pi * f * 2.76 * t) * envelope(t, 0.0015, 0.020)
            + 0.15 * math.sin(2 * math.pi * f * 5.40 * t) * envelope(t, 0.0015, 0.010))


def pop(t):
    # A bubble: a short sine whose pitch rises quickly, as a bursting bubble's
    # does, with a fast fade.
    start, end, sweep = 420.0, 1250.0, 0.030
    if t < sweep:
        phase = 2 * math.pi * (start * t + (end - start) * t * t / (2 * sweep))
    else:
        phase = 2 * math.pi * (start * sweep + (end - start) * sweep / 2 + end * (t - sweep))
    return 0.9 * math.sin(phase) * envelope(t, 0.002, 0.022)


def write(name, voice, seconds, peak=0.5):
    frames = bytearray()
    count = int(RATE * seconds)
    for i in range(count):
        t = i / RATE
        # The last 5 ms fade to silence, so the end never clicks.
        tail = min(1.0, (count - i) / (0.005 * RATE))
        sample = max(-1.0, min(1.0, voice(t) * peak * tail))
        frames += struct.pack("<h", int(round(sample * 32767)))
    with wave.open(os.path.join(FOLDER, name), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(bytes(frames))


if __name__ == "__main__":
    write("Tink.wav", tink, 0.25)
    write("Pop.wav", pop, 0.12)
