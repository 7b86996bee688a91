#!/usr/bin/python3
"""Real mp3 files tagged by an independent ID3 implementation (mutagen), for the tag engine's
interoperability tests and benchmark, and mutagen's reading of files the engine wrote.

  id3_mutagen.py make OUTDIR
      Encodes 300 ms of a tone with lame (OUTDIR/audio.mp3, no tag) and writes the variants
      v3_utf16_cover.mp3, v4_utf8.mp3, v3_latin1.mp3, v1_only.mp3 and no_tag.mp3 next to it.
      Prints a JSON object: file name -> the values written (artist, title, album, year,
      track, genre).
  id3_mutagen.py read FILE...
      Prints a JSON object: file -> what mutagen reads from the ID3v2 tag alone, frames as
      stored (the same fields, plus version, comments and the MD5 of the audio bytes outside
      the ID3v2 tag and ID3v1 block).

Must run under /usr/bin/python3 (Debian's python3-mutagen).
"""
import hashlib
import json
import math
import os
import struct
import subprocess
import sys
import tempfile
import wave

from mutagen.id3 import (APIC, COMM, ID3, TALB, TCON, TDRC, TIT2, TPE1, TRCK, TYER,
                         ID3NoHeaderError)
from mutagen.id3._tags import save_frame
from mutagen.id3._util import ID3SaveConfig, BitPaddedInt

VALUES = {
    "v3_utf16_cover.mp3": dict(artist="Ärger & Söhne ΩΨ", title="Любовь", album="Álbum ♫",
                               year="1999", track="3/12", genre="Rock"),
    "v4_utf8.mp3": dict(artist="Björk 日本", title="Jóga", album="Homogenic", year="1997",
                        track="7", genre="Electronic"),
    "v3_latin1.mp3": dict(artist="Abba", title="Waterloo", album="Waterloo", year="1974",
                          track="1", genre="Pop"),
    "v1_only.mp3": dict(artist="Band", title="Song", album="Record", year="1980", track="5",
                        genre="Rock"),
    "no_tag.mp3": dict(artist="", title="", album="", year="", track="", genre=""),
}


def make_audio(outdir):
    wav = os.path.join(outdir, "tone.wav")
    with wave.open(wav, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(22050)
        frames = b"".join(struct.pack("<h", int(8000 * math.sin(2 * math.pi * 440 * i / 22050)))
                          for i in range(22050 * 3 // 10))
        w.writeframes(frames)
    mp3 = os.path.join(outdir, "audio.mp3")
    subprocess.run(["lame", "--silent", "-b", "32", wav, mp3], check=True)
    os.remove(wav)
    with open(mp3, "rb") as f:
        return f.read()


def text_frames(v, encoding, v3):
    year = TYER(encoding=encoding, text=v["year"]) if v3 else TDRC(encoding=encoding, text=v["year"])
    return [TPE1(encoding=encoding, text=v["artist"]), TIT2(encoding=encoding, text=v["title"]),
            TALB(encoding=encoding, text=v["album"]), year,
            TRCK(encoding=encoding, text=v["track"]), TCON(encoding=encoding, text=v["genre"])]


def v3_tag_with_cover_first(v):
    """mutagen sorts the artist before pictures when it saves; real files often have the
    picture first, so the frames are serialised by mutagen and laid out here in that order."""
    config = ID3SaveConfig(3, "/")
    cover = APIC(encoding=0, mime="image/jpeg", type=3, desc="",
                 data=bytes((i * 7 + 3) & 0xFF for i in range(30 * 1024)))
    frames = [cover] + text_frames(v, 1, True)
    body = b"".join(save_frame(f, config=config) for f in frames) + b"\0" * 1024
    return b"ID3\x03\x00\x00" + BitPaddedInt.to_str(len(body), width=4) + body


def make(outdir):
    audio = make_audio(outdir)
    for name, v in VALUES.items():
        path = os.path.join(outdir, name)
        if name == "v3_utf16_cover.mp3":
            with open(path, "wb") as f:
                f.write(v3_tag_with_cover_first(v) + audio)
            continue
        with open(path, "wb") as f:
            f.write(audio)
        if name == "no_tag.mp3":
            continue
        tags = ID3()
        v3 = name != "v4_utf8.mp3"
        for frame in text_frames(v, 3 if not v3 else 0, v3):
            tags.add(frame)
        if name == "v1_only.mp3":
            tags.save(path, v1=2, v2_version=3)
            ID3(path).delete(path, delete_v1=False, delete_v2=True)
        else:
            tags.save(path, v1=0, v2_version=3 if v3 else 4)
    print(json.dumps(VALUES, ensure_ascii=False))


def audio_md5(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:3] == b"ID3":
        size = BitPaddedInt(data[6:10]) + 10 + (10 if data[5] & 0x10 else 0)
        data = data[size:]
    if data[-128:-125] == b"TAG":
        data = data[:-128]
    return hashlib.md5(data).hexdigest()


def read(paths):
    result = {}
    for path in paths:
        entry = {"audio_md5": audio_md5(path)}
        try:
            tags = ID3(path, load_v1=False, translate=False)
        except ID3NoHeaderError:
            tags = None
        if tags is not None:
            def text(frame_id):
                frame = tags.get(frame_id)
                return str(frame.text[0]) if frame is not None and frame.text else ""
            entry.update(artist=text("TPE1"), title=text("TIT2"), album=text("TALB"),
                         year=text("TDRC") or text("TYER"), track=text("TRCK"),
                         genre=text("TCON"), version=tags.version[1],
                         comments=[[c.desc, str(c.text[0]) if c.text else ""]
                                   for c in tags.getall("COMM")])
        result[path] = entry
    print(json.dumps(result, ensure_ascii=False))


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "make":
        make(sys.argv[2])
    elif len(sys.argv) >= 3 and sys.argv[1] == "read":
        read(sys.argv[2:])
    else:
        sys.exit(__doc__)
