#!/usr/bin/env python3
"""Writes the tone movie's sound: a WAV file of one sine tone (16-bit mono
PCM), faded in and out over 10 ms so it starts and ends without a click.

    make_tone.py OUTPUT [FREQUENCY_HZ] [SECONDS]
"""

import math
import struct
import sys
import wave

RATE = 22050  # one of the rates a SWF sound may have


def main(argv):
    output = argv[1]
    frequency = float(argv[2]) if len(argv) > 2 else 880.0
    seconds = float(argv[3]) if len(argv) > 3 else 1.0
    count = int(RATE * seconds)
    fade = int(RATE * 0.01)
    samples = bytearray()
    for i in range(count):
        level = min(1.0, i / fade, (count - 1 - i) / fade)
        samples += struct.pack("<h", int(0.5 * 32767 * level * math.sin(2 * math.pi * frequency * i / RATE)))
    with wave.open(output, "wb") as f:
        f.setnchannels(1)
        f.setsampwidth(2)
        f.setframerate(RATE)
        f.writeframes(bytes(samples))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
