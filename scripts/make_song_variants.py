#!/usr/bin/python3
"""Real songs under several tags, for the tests of what makes a double.

  make_song_variants.py OUTDIR

Encodes two different one-second songs (a 440 Hz and a 660 Hz tone) with lame and ffmpeg and
writes, all tagged artist "Madonna", title "Intro":
  a_v24.mp3      song A, ID3v2.4
  a_v23_v1.mp3   song A, ID3v2.3 with other texts, and an ID3v1 block
  a_ape.mp3      song A, ID3v2.4, an APEv2 tag and an ID3v1 block after the audio
  b_v24.mp3      song B, ID3v2.4 (the same tag as a_v24.mp3)
  a.flac         song A, Vorbis comments
  a_other.flac   song A, other Vorbis comments
  b.flac         song B, the Vorbis comments of a.flac

Must run under /usr/bin/python3 (Debian's python3-mutagen).
"""
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import wave

from mutagen.apev2 import APEv2
from mutagen.flac import FLAC
from mutagen.id3 import ID3, TIT2, TPE1, TALB


def tone(path, frequency):
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(44100)
        out.writeframes(b"".join(
            struct.pack("<h", int(12000 * math.sin(2 * math.pi * frequency * i / 44100)))
            for i in range(44100)))


def id3(path, version, album):
    tags = ID3()
    tags.add(TPE1(encoding=3 if version == 4 else 1, text="Madonna"))
    tags.add(TIT2(encoding=3 if version == 4 else 1, text="Intro"))
    tags.add(TALB(encoding=3 if version == 4 else 1, text=album))
    tags.save(path, v2_version=version, v1=2 if album == "with v1" else 0)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        for song, frequency in (("a", 440), ("b", 660)):
            wav = os.path.join(work, song + ".wav")
            tone(wav, frequency)
            mp3 = os.path.join(work, song + ".mp3")
            subprocess.run(["lame", "--quiet", "-b", "128", "-t", wav, mp3], check=True)
            flac = os.path.join(out, song + ".flac")
            subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", wav,
                            "-fflags", "+bitexact", "-c:a", "flac", flac], check=True)
            tags = FLAC(flac)
            tags["ARTIST"] = "Madonna"
            tags["TITLE"] = "Intro"
            tags.save()
            shutil.copy(mp3, os.path.join(out, song + "_v24.mp3"))
            id3(os.path.join(out, song + "_v24.mp3"), 4, "First")
        shutil.copy(os.path.join(work, "a.mp3"), os.path.join(out, "a_v23_v1.mp3"))
        id3(os.path.join(out, "a_v23_v1.mp3"), 3, "with v1")
        ape = os.path.join(out, "a_ape.mp3")
        shutil.copy(os.path.join(work, "a.mp3"), ape)
        id3(ape, 4, "Second")
        tags = APEv2()
        tags["Artist"] = "Madonna"
        tags["Title"] = "Intro (remastered)"
        tags.save(ape)
        with open(ape, "ab") as f:
            f.write(b"TAG" + b"Intro".ljust(30, b"\0") + b"Madonna".ljust(30, b"\0")
                    + b"\0" * 64 + b"\xff")
    other = os.path.join(out, "a_other.flac")
    shutil.copy(os.path.join(out, "a.flac"), other)
    tags = FLAC(other)
    tags["ARTIST"] = "Madonna"
    tags["TITLE"] = "Intro"
    tags["ALBUM"] = "Another album"
    tags["COMMENT"] = "ripped again"
    tags.save()


main()
