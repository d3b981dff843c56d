#!/usr/bin/env python3
"""Writes the demo log's inputs that the repository ships in samples/:

  DEMO.mst  a master file of 40 made-up areas (codes, names in Shift-JIS,
            empty worked/confirmed tables)
  DEMO.adx  300 made-up contacts with those areas, as an ADX file (UTF-8)

The output is the same on every run (a fixed seed, no clock). Every call sign
begins with Q, which no country's amateur stations use. Run it from the
checkout after changing it:  python3 samples/make_demo.py samples
"""
import random
import struct
import sys
from pathlib import Path

SEED = 20260103
CONTACTS = 300

# (code, name, FLG, HED, ERIA): FLG 1 a city, 2 a ward of a city, 3 a town in
# a county; HED the call area; ERIA the prefecture's number.
AREAS = [
    ("0101", "風見市", "1", "0", "01"), ("0102", "星野市", "1", "0", "01"),
    ("0103", "雪原市", "1", "0", "01"), ("01004A", "白樺郡　霧町", "3", "0", "01"),
    ("0201", "北浜市", "1", "7", "02"), ("0202", "森川市", "1", "7", "02"),
    ("0301", "岩清水市", "1", "7", "03"), ("0401", "桜台市", "1", "7", "04"),
    ("0501", "稲穂市", "1", "7", "05"), ("0801", "新田市", "1", "0", "08"),
    ("1001", "若葉市", "1", "1", "10"), ("100101", "若葉市　青空区", "2", "1", "10"),
    ("100102", "若葉市　朝日区", "2", "1", "10"), ("100105", "若葉市　花咲区", "2", "1", "10"),
    ("1002", "東坂市", "1", "1", "10"), ("1101", "潮見市", "1", "1", "11"),
    ("1201", "葉山台市", "1", "1", "12"), ("1301", "光が丘市", "1", "1", "13"),
    ("13008B", "月原郡　雪見町", "3", "1", "13"), ("1401", "小石市", "1", "1", "14"),
    ("1801", "緑野市", "1", "2", "18"), ("1802", "松風市", "1", "2", "18"),
    ("2001", "川辺市", "1", "2", "20"), ("2002", "海辺市", "1", "2", "20"),
    ("2501", "白砂市", "1", "2", "25"), ("2601", "柳橋市", "1", "3", "26"),
    ("2701", "古都市", "1", "3", "27"), ("270101", "古都市　東山区", "2", "3", "27"),
    ("2801", "大波市", "1", "3", "28"), ("3101", "砂丘市", "1", "4", "31"),
    ("3401", "紅葉市", "1", "4", "34"), ("3501", "港原市", "1", "4", "35"),
    ("3601", "藍川市", "1", "5", "36"), ("3801", "蜜柑市", "1", "5", "38"),
    ("4001", "鳥居市", "1", "6", "40"), ("4002", "霧ヶ丘市", "1", "6", "40"),
    ("400101", "鳥居市　中浜区", "2", "6", "40"), ("4301", "火山市", "1", "6", "43"),
    ("4601", "南風市", "1", "6", "46"), ("4701", "珊瑚市", "1", "6", "47"),
]

# ADIF band, a few frequencies in MHz, as the log keeps them (7 characters).
BANDS = [
    ("160m", ["1.910"]), ("80m", ["3.530", "3.535"]), ("40m", ["7.010", "7.025", "7.045"]),
    ("30m", ["10.120"]), ("20m", ["14.020", "14.050"]), ("17m", ["18.080"]),
    ("15m", ["21.030", "21.250"]), ("12m", ["24.900"]), ("10m", ["28.050", "28.600"]),
    ("6m", ["50.150", "50.250"]), ("2m", ["144.20", "145.00"]), ("70cm", ["430.10", "433.00"]),
    ("23cm", ["1295.0"]), ("13cm", ["2427.0"]), ("6cm", ["5760.0"]),
]
BAND_WEIGHTS = [2, 4, 14, 3, 7, 3, 6, 2, 4, 8, 12, 10, 2, 1, 1]

FAMILY = ["佐藤", "鈴木", "高橋", "田中", "伊藤", "渡辺", "山本", "中村", "小林", "加藤",
          "吉田", "山田", "松本", "井上", "木村", "林", "清水", "山口", "森", "池田"]
GIVEN = ["一郎", "健", "花子", "美咲", "翔", "誠", "陽子", "大輔", "聡", "真理",
         "ツバサ", "ひかり", "勇", "恵", "浩"]
REMARKS = ["移動運用", "QRP 5W", "ANT: GP", "初交信", "コンテスト", "FB signal",
           "再交信ありがとう", "ANT: 3 el. Yagi", "固定局", "QSB"]


def mode_for(band):
    if band in ("160m", "30m"):
        return "CW"
    if band in ("2m", "70cm", "23cm", "13cm", "6cm"):
        return random.choice(["FM", "FM", "CW", "SSB"])
    if band in ("10m", "6m"):
        return random.choice(["SSB", "CW", "FM", "AM"])
    return random.choice(["CW", "CW", "SSB", "SSB", "RTTY"])


def report(mode):
    if mode in ("CW", "RTTY"):
        return random.choice(["599", "599", "589", "579", "569"])
    return random.choice(["59", "59", "57", "55", "58"])


def call_sign(hed, used):
    while True:
        call = "Q" + random.choice("ABCDEFGHJKLM") + hed + "".join(
            random.choice("ABCDEFGHIJKLMNOPQRSTUVWXYZ") for _ in range(random.choice([2, 3, 3])))
        if call not in used:
            used.add(call)
            return call


def master_file(areas):
    fields = [("CODE", 6), ("NAME", 28), ("FLG", 1), ("HED", 1), ("ERIA", 2), ("CFM", 2),
              ("WKD", 2), ("RSV", 6)]
    record_size = 1 + sum(n for _, n in fields)
    header_size = 32 + 32 * len(fields) + 1
    out = bytearray(struct.pack("<B3BIHH20x", 3, 26, 1, 3, len(areas), header_size, record_size))
    for name, length in fields:
        out += struct.pack("<11sc4xBB14x", name.encode(), b"C", length, 0)
    out += b"\r"
    for code, name, flg, hed, eria in areas:
        sjis = name.encode("cp932")
        out += b" " + code.encode().ljust(6) + sjis.ljust(28) + (flg + hed + eria).encode()
        out += b"\0\0\0\0" + b" " * 6
    out += b"\x1a"
    return bytes(out)


def xml(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def contacts(areas):
    random.seed(SEED)
    used = set()
    # Some stations are worked again on other bands, as in a real log.
    stations = []
    for _ in range(210):
        code, _name, _flg, hed, _eria = random.choice(areas)
        family, given = random.choice(FAMILY), random.choice(GIVEN)
        stations.append((call_sign(hed, used), code, family + " " + given))
    rows = []
    minute = 0
    for i in range(CONTACTS):
        call, code, name = random.choice(stations)
        minute += random.randint(7, 2600)
        day, rest = divmod(minute, 24 * 60)
        year, month, mday = calendar_day(2025, 4, 1, day)
        band = random.choices([b for b, _ in BANDS], BAND_WEIGHTS)[0]
        freq = random.choice(dict(BANDS)[band])
        mode = mode_for(band)
        recent = i >= CONTACTS - 70
        via = "D" if random.random() < 0.08 else "B"
        sent = random.choice(["Q", "R"]) if recent else ("Y" if random.random() < 0.9 else "N")
        rcvd = "N" if recent or random.random() < 0.35 else "Y"
        grid = "PM" + str(random.randint(74, 96)) + ("" if random.random() < 0.5 else
                                                     random.choice("ABCDEFGHIJKLMNOPQRSTUVWX").lower() +
                                                     random.choice("ABCDEFGHIJKLMNOPQRSTUVWX").lower())
        fields = [("CALL", call + ("/" + str(random.randint(1, 9)) if random.random() < 0.04 else "")),
                  ("QSO_DATE", "%04d%02d%02d" % (year, month, mday)),
                  ("TIME_ON", "%02d%02d" % divmod(rest, 60)), ("BAND", band), ("FREQ", freq),
                  ("MODE", mode), ("RST_SENT", report(mode)), ("RST_RCVD", report(mode)),
                  ("QSL_SENT", sent), ("QSL_RCVD", rcvd), ("QSL_SENT_VIA", via),
                  ("GRIDSQUARE", grid), ("CNTY", code), ("NAME_INTL", name)]
        if random.random() < 0.3:
            fields.append(("COMMENT_INTL", random.choice(REMARKS)))
        rows.append(fields)
    return rows


def calendar_day(year, month, day, add):
    days = [31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31]
    day += add
    while True:
        leap = year % 4 == 0 and (year % 100 != 0 or year % 400 == 0)
        length = 29 if month == 2 and leap else days[month - 1]
        if day <= length:
            return year, month, day
        day -= length
        month += 1
        if month > 12:
            month, year = 1, year + 1


def adx_file(rows):
    out = ['<?xml version="1.0" encoding="UTF-8"?>', "<ADX>", "  <HEADER>",
           "    <!-- Made-up contacts for the demo log (samples/make_demo.py) -->",
           "    <ADIF_VER>3.1.0</ADIF_VER>", "    <PROGRAMID>make_demo</PROGRAMID>",
           "  </HEADER>", "  <RECORDS>"]
    for fields in rows:
        out.append("    <RECORD>")
        for name, value in fields:
            out.append("      <%s>%s</%s>" % (name, xml(value), name))
        out.append("    </RECORD>")
    out += ["  </RECORDS>", "</ADX>", ""]
    return "\n".join(out)


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else "samples")
    (folder / "DEMO.mst").write_bytes(master_file(AREAS))
    (folder / "DEMO.adx").write_text(adx_file(contacts(AREAS)), encoding="utf-8")


if __name__ == "__main__":
    main()
