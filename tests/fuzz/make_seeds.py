#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into corpus/<target>/.

Each seed is a well-formed scenario of its target's input format (see the
comment at the top of each fuzz_*.cpp), so that fuzzing starts from inputs
that reach deep into the code. Run it again after changing a format."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))


def put(target, name, data):
    d = os.path.join(HERE, "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


# ---------------------------------------------------------------- companion socket
def datagrams(style, *texts):
    out = bytes([style & 0xFF])
    for t in texts:
        b = t.encode("latin-1") if isinstance(t, str) else t
        out += bytes([len(b)]) + b
    return out


put("fuzz_ipc_sock", "start_online", datagrams(12, "#ZT@Start"))
put("fuzz_ipc_sock", "start_offline", datagrams(-1, "#ZT@Start", "#ZT@Close"))
put("fuzz_ipc_sock", "dual", datagrams(12, "#ZT@StartDualSplit@5000", "#ZT@StartDual@5001",
                                       "#ZT@ShutDownDual"))
put("fuzz_ipc_sock", "workrect", datagrams(13, "#ZT@WorkRect@100,0,800,600",
                                           "#ZT@WorkRect@2147483647,0,2147483647,1"))
put("fuzz_ipc_sock", "flags", datagrams(14, "#ZT@InBoardFrm", "#ZT@NotInBoardFrm", "#ZT@Earea",
                                        "#ZT@Mouse", "#ZT@Pen"))
put("fuzz_ipc_sock", "trailing", datagrams(15, "#ZT@Start\n", "#ZT@", "ZT", "#XY@Start"))
put("fuzz_ipc_sock", "full50", datagrams(28, "#ZT@WorkRect@" + "9" * 37))

# ---------------------------------------------------------------- configuration
shipped = open(os.path.join(TOP, "Config", "config.xml"), "rb").read()
put("fuzz_config", "shipped", shipped)
put("fuzz_config", "empty", b"")
put("fuzz_config", "truncated", shipped[: len(shipped) // 2])
put("fuzz_config", "not_xml", b"port=4869\ndotNum=4\n")
irq = (b'<?xml version="1.0"?>\n<!-- x -->\n<ZTBoard><Global><port num="5000"/>'
       b'<CurrentRun TYPE="x"/><Device path=""/></Global>'
       b'<ZTBoardWorkIRQ><coordinate dotNum="%d" %s/>'
       b'<Constants LIMIT_COUNT="7" LIMIT_MOVE="x" RC1="1e400" RC2="" ORIENT_RECV_DATA_SIZE="%d"/>'
       b'<HOTKEY key0="(1.5,2.25)" key13="(nan,inf)"/>'
       b'<Flag Enable_Soft_Sidekey="1" bKeyPen="2"/><DriverSet VALUE1_T="-1" VALUE2_T="99999999999"/>'
       b'</ZTBoardWorkIRQ><ZTBoardWorkIRQ><coordinate dotNum="4"/></ZTBoardWorkIRQ>'
       b'<ZTBoardWorkLT><coordinate dotNum="9" %s/></ZTBoardWorkLT></ZTBoard>\n')
dots9 = b" ".join(b'dot%d="(%d.0,%d.0)"' % (i, 1000 + 1500 * (i // 3), 800 + 1100 * (i % 3))
                  for i in range(9))
put("fuzz_config", "grid9", irq % (9, dots9, 20, dots9))
put("fuzz_config", "odd_values", irq % (25, b'dot0="(1e308,-1e308)" dot1="(0,0)" dot2="(0,0)"',
                                        1000, b'dot0="(-1,-1)" dot4="(0.0,0.0)"'))
put("fuzz_config", "negative", irq % (-3, b"", -5, b'dot8="(-1,-1)"'))

# ---------------------------------------------------------------- HID device
def reply(family, hand):
    # a read of the full length (kind 3), header bytes, then the 8-byte reply
    return bytes([3, 0x00, 0x00, family, hand, 0, 0, 0, 0, 0, 0])


OPEN, WRITE_OK = 1, 3
put("fuzz_hid", "et_query", bytes([8, OPEN, WRITE_OK]) + reply(0xE9, 0xDD) +
    bytes([0, 16, 3]) + bytes(range(18)) + bytes([1, 12, 3]) + bytes(80))
put("fuzz_hid", "etd_retry", bytes([9, OPEN, WRITE_OK]) + bytes([1]) + bytes([WRITE_OK]) +
    reply(0x00, 0x55) + bytes([WRITE_OK]) + reply(0xC8, 0xCA) + bytes([0, 12, 2, 5]) + bytes(5))
put("fuzz_hid", "etp", bytes([10, OPEN, WRITE_OK]) + reply(0xE5, 0x55) +
    bytes([6, 0, OPEN, 3, 20, 3]) + bytes(64) + bytes([4, 30, 3]) + bytes(80))
put("fuzz_hid", "frame_raw", bytes([4, OPEN, 2, 68, 3]) + bytes(64) + bytes([0, 10, 2, 17]) +
    bytes(17) + bytes([0, 10, 0]))
put("fuzz_hid", "open_fails", bytes([8, 0]))

# ---------------------------------------------------------------- multi-touch frames
def record(status, x, y, w=20, h=20, ident=1):
    return bytes([status, ident]) + struct.pack("<HHHH", x, y, w, h)


def report(*records, count=None, count_byte=None):
    b = bytearray(64)
    b[0] = 0x01
    for k, r in enumerate(records):
        b[1 + 10 * k: 11 + 10 * k] = r
    if count_byte is not None:
        b[count_byte] = count
    return bytes(b)


def stream(*reports):
    out = b""
    for r in reports:
        out += r if len(r) < 64 else bytes([0x00]) + r
    return out


TIMEOUT, FAIL = bytes([0xE0]), bytes([0xEC])
for model in range(4):
    count_byte = {2: 62, 3: 61}.get(model)
    for mode, name in enumerate(["common", "split", "full", "orient"]):
        b0 = model | (mode << 2) | 0x20  # with stroke classification
        b1 = 0x05 | (0x10 if mode == 0 else 0)
        header = bytes([b0, b1, 30, 60, 6]) + struct.pack("<i", 960) + bytes([0x82])
        touch = [report(record(7, 4000 + 300 * i, 9000 + 100 * i, 30, 30),
                        record(7 if mode in (1, 2) else 0, 26000 - 200 * i, 12000, 20, 20, 2),
                        count=2, count_byte=count_byte) for i in range(12)]
        lift = report(record(0, 0, 0), count=0, count_byte=count_byte)
        if mode == 3:
            body = stream(*[report(record(7, 1000, 500)) for _ in range(12)], lift,
                          *[report(record(7, 1000, 32000)) for _ in range(12)], lift)
        else:
            body = stream(*touch, lift, *touch[:4], TIMEOUT, *touch[:3], FAIL, *touch[:2])
        put("fuzz_zez", "%d_%s" % (model, name), header + body)
# a mode change with contacts down, and a pen-tray key
put("fuzz_zez", "mode_change", bytes([0x01, 0x00, 0, 0, 4]) + struct.pack("<i", 2147483647) +
    bytes([1]) + stream(report(record(7, 5000, 5000)), bytes([0xFE]), report(record(7, 5000, 5000)),
                        bytes([0xF9]), report(record(0x0A, 0, 0)), bytes([0xF4, 10])))
