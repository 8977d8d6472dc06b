#!/usr/bin/env python3
"""Prints every ID3v2 frame of an MP3 file as mutagen reads it, one line per frame, in file order.

Binary data is shown by its length and SHA-1, so a test can compare it with what it wrote.
A file without an ID3v2 tag prints "no tag".
"""
import hashlib
import sys

from mutagen.id3 import ID3, ID3NoHeaderError


def digest(data):
    return "%d:%s" % (len(data), hashlib.sha1(data).hexdigest())


def describe(frame):
    kind = frame.FrameID
    if kind == "CHAP":
        subs = " ".join("%s=%s" % (f.FrameID, "/".join(f.text)) for f in frame.sub_frames.values())
        return "CHAP %s %d %d %d %d [%s]" % (frame.element_id, frame.start_time, frame.end_time,
                                             frame.start_offset, frame.end_offset, subs)
    if kind == "CTOC":
        return "CTOC %s flags=%d children=%s" % (frame.element_id, int(frame.flags),
                                                 ",".join(frame.child_element_ids))
    if kind == "APIC":
        return "APIC %s %d %s" % (frame.mime, int(frame.type), digest(frame.data))
    if kind == "USLT":
        return "USLT %s %s" % (frame.lang, digest(frame.text.encode("utf-8")))
    if kind == "COMM":
        return "COMM %s|%s|%s" % (frame.lang, frame.desc, "/".join(frame.text))
    if kind == "TXXX":
        return "TXXX %s|%s" % (frame.desc, "/".join(str(t) for t in frame.text))
    if hasattr(frame, "text"):
        return "%s %s" % (kind, "/".join(str(t) for t in frame.text))
    return "%s %s" % (kind, digest(frame._writeData()))


def main():
    try:
        tag = ID3(sys.argv[1], load_v1=False, translate=False)
    except ID3NoHeaderError:
        print("no tag")
        return
    print("version 2.%d" % tag.version[1])
    for frame in tag.values():
        print(describe(frame))


main()
