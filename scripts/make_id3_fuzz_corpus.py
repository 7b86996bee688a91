#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz_id3 target (fuzz/corpus/fuzz_id3/): one small tag for
each layout and feature the tag reader handles, so that fuzzing starts from every path.

  scripts/make_id3_fuzz_corpus.py [OUTDIR]
"""
import os
import struct
import sys
import zlib


def syncsafe(n, width=4):
    return bytes((n >> (7 * (width - 1 - i))) & 0x7F for i in range(width))


def text(s, encoding=0):
    if encoding == 1:
        return b"\x01\xff\xfe" + s.encode("utf-16-le")
    if encoding == 2:
        return b"\x02" + s.encode("utf-16-be")
    if encoding == 3:
        return b"\x03" + s.encode("utf-8")
    return b"\x00" + s.encode("latin-1")


def frame4(fid, data, status=0, fmt=0):
    return fid + syncsafe(len(data)) + bytes([status, fmt]) + data


def frame3(fid, data, status=0, fmt=0):
    return fid + struct.pack(">I", len(data)) + bytes([status, fmt]) + data


def frame2(fid, data):
    return fid + struct.pack(">I", len(data))[1:] + data


def tag(version, flags, body, padding=0):
    return b"ID3" + bytes([version, 0, flags]) + syncsafe(len(body) + padding) + body + b"\0" * padding


def unsync(data):
    return data.replace(b"\xff", b"\xff\x00")


AUDIO = b"\xff\xfb\x90\x64" + bytes(range(60))
V1 = b"TAG" + b"Song".ljust(30, b"\0") + b"Band".ljust(30, b"\0") + b"Album".ljust(30, b"\0") \
    + b"1999" + b"comment".ljust(29, b"\0") + b"\x05\x11"
PEOPLE = frame4(b"TPE1", text("Abba")) + frame4(b"TIT2", text("Waterloo"))
DEFLATED = zlib.compress(text("Compressed title"), 9)

SEEDS = {
    "v4_plain": tag(4, 0, PEOPLE + frame4(b"TALB", text("Album")), 16) + AUDIO,
    "v4_encodings": tag(4, 0, frame4(b"TPE1", text("Björk 日本", 3)) + frame4(b"TIT2", text("Jóga", 1))
                        + frame4(b"TALB", text("Ωμέγα", 2))),
    "v4_compressed_dli": tag(4, 0, frame4(b"TIT2", syncsafe(17) + DEFLATED, 0, 0x09) + PEOPLE),
    "v4_group_encrypt": tag(4, 0, frame4(b"TXXX", b"\x07\x80" + syncsafe(3) + b"abc", 0, 0x45) + PEOPLE),
    "v4_frame_unsync": tag(4, 0, frame4(b"TPE1", unsync(b"\x00Ab\xff\xe0ba"), 0, 0x02) + PEOPLE),
    "v4_ext_standard": tag(4, 0x40, syncsafe(15) + b"\x01\x70\x00\x05" + syncsafe(99, 5) + b"\x01\x24" + PEOPLE),
    "v4_ext_older": tag(4, 0x40, syncsafe(12) + b"\x01\x30" + syncsafe(99, 5) + b"\x24" + PEOPLE),
    "v4_footer": tag(4, 0x10, PEOPLE) + b"3DI\x04\x00\x10" + syncsafe(len(PEOPLE)),
    "v4_comment": tag(4, 0, frame4(b"COMM", b"\x00eng" + b"desc\x00text") + PEOPLE),
    "v3_plain": tag(3, 0, frame3(b"COMM", b"\x00eng" + b"c" * 200) + frame3(b"TPE1", text("Abba", 1))),
    "v3_compressed": tag(3, 0, frame3(b"TIT2", struct.pack(">I", 17) + DEFLATED, 0, 0x80)
                         + frame3(b"TPE1", text("Abba"))),
    "v3_unsync": tag(3, 0x80, unsync(frame3(b"TPE1", text("Ab\xff\xe0")) + frame3(b"TIT2", b"\x00" + b"\xff" * 20))),
    "v3_ext_crc": tag(3, 0x40, struct.pack(">IHII", 10, 0x8000, 0, 0x12345678) + frame3(b"TPE1", text("Abba"))),
    "v2_frames": tag(2, 0, frame2(b"TT2", text("Song")) + frame2(b"TP1", text("Abba")) + frame2(b"COM", b"\x00engd\x00t")
                     + frame2(b"PIC", b"\x00JPG\x03\x00xyz")),
    "id3v1_only": AUDIO * 3 + V1,
    "tag_after_audio": AUDIO * 70 + tag(4, 0, PEOPLE) + AUDIO,
    "size_past_end": b"ID3\x04\x00\x00\x7f\x7f\x7f\x7f" + PEOPLE,
    "truncated_frame": tag(4, 0, b"TPE1" + syncsafe(100) + b"\x00\x00\x00Ab"),
    "header_cut_short": b"ID3\x03\x40\x62\x62\x61",
    # Encoder quirks: flags announcing more bytes than the frame has, encrypted text, IDs
    # padded with a space, an ID3v2 tag without artist beside an ID3v1 block.
    "v4_dli_past_frame": tag(4, 0, frame4(b"TENC", b"\x00", 0, 0x01) + PEOPLE, 8),
    "v3_flags_past_frame": tag(3, 0, frame3(b"TENC", b"\x00\x00", 0, 0xE0) + frame3(b"TPE1", text("Abba"))),
    "v3_encrypted_artist": tag(3, 0, frame3(b"TPE1", b"\x80" + text("Qx9z"), 0, 0x40) + frame3(b"TIT2", text("Song"))),
    "v4_space_padded_ids": tag(4, 0, frame4(b"TST ", text("x")) + frame4(b"RVA ", b"\x7f" * 12) + PEOPLE, 4),
    "v4_replaygain_and_v1": tag(4, 0, frame4(b"TXXX", text("replaygain_track_gain\0-6.2 dB"))) + AUDIO + V1,
}


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "fuzz", "corpus", "fuzz_id3")
    os.makedirs(out, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
