#!/usr/bin/env python3
"""Tests of the header database converter.

usage: test_nes20db.py [SOURCE COMMITTED]   with the two paths, the committed
header database is also checked against a fresh conversion of the source.
"""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import nes20db  # noqa: E402

SOURCE = COMMITTED = None


class ConvertLine(unittest.TestCase):
    def test_example_lines_come_out_exactly(self):
        # Both lines are in the source file as given here.
        self.assertEqual(
            nes20db.convert_line("836C4FA7,Famicom,IREM-NROM-128,IREM-01-V,,0,16,8,0,0,0,0,h,1,,0,,", 1),
            "836C4FA7,0,16384,8192,h,0")
        self.assertEqual(
            nes20db.convert_line("73E41AC7,Famicom,,,,1,256,0,8,0,0,0,h,1,,0,,", 1),
            "73E41AC7,1,262144,0,h,0")

    def test_timing_digit_by_system(self):
        line = "0101D156,{},,,,0,32,8,0,0,0,0,h,1,,0,,"
        expected = {"NesNtsc": "0", "NesPal": "1", "Dendy": "3", "Famicom": "0", "Playchoice": "0",
                    "VsSystem": "0", "VT03": "0"}
        for system, digit in expected.items():
            with self.subTest(system=system):
                self.assertEqual(nes20db.convert_line(line.format(system), 1).split(",")[5], digit)

    def test_empty_chr_is_zero_and_empty_mirroring_is_h(self):
        self.assertEqual(nes20db.convert_line("0021EBA8,NesPal,,,,0,32,,8,0,0,0,,1,,0,,", 1),
                         "0021EBA8,0,32768,0,h,1")

    def test_other_mirroring_letters_are_kept(self):
        for letter in ("v", "4", "1"):
            self.assertEqual(nes20db.convert_line(f"00000001,NesNtsc,,,,4,256,128,0,0,0,0,{letter},1,,0,,", 1)
                             .split(",")[4], letter)

    def test_lower_case_crc_comes_out_upper_case(self):
        self.assertTrue(nes20db.convert_line("00ab846e,VT02,,,,256,16384,0,0,0,0,0,h,1,,0,,", 1)
                        .startswith("00AB846E,256,16777216,0,"))

    def test_malformed_lines_name_the_line(self):
        bad = {
            "too few fields": "836C4FA7,NesNtsc,,,,0,16,8",
            "short CRC": "836C4FA,NesNtsc,,,,0,16,8,0,0,0,0,h,1,,0,,",
            "mapper not a number": "836C4FA7,NesNtsc,,,,x,16,8,0,0,0,0,h,1,,0,,",
            "empty PRG": "836C4FA7,NesNtsc,,,,0,,8,0,0,0,0,h,1,,0,,",
            "unknown mirroring": "836C4FA7,NesNtsc,,,,0,16,8,0,0,0,0,q,1,,0,,",
        }
        for what, line in bad.items():
            with self.subTest(what=what):
                with self.assertRaisesRegex(nes20db.ConversionError, r"^line 7: "):
                    nes20db.convert_line(line, 7)


class Convert(unittest.TestCase):
    def test_comments_and_blank_lines_are_skipped_and_order_kept(self):
        lines = ["# comment\n", "\n", "FFFFFFFF,NesNtsc,,,,3,32,32,0,0,0,0,v,1,,0,,\n",
                 "00000000,Dendy,,,,87,16,8,0,0,0,0,h,1,,0,,\r\n"]
        self.assertEqual(nes20db.convert(lines),
                         ["FFFFFFFF,3,32768,32768,v,0", "00000000,87,16384,8192,h,3"])

    def test_error_counts_source_lines_including_comments(self):
        with self.assertRaisesRegex(nes20db.ConversionError, r"^line 3: "):
            nes20db.convert(["# a\n", "# b\n", "bad\n"])


class CommittedData(unittest.TestCase):
    def test_committed_file_is_the_conversion_of_the_source(self):
        if not SOURCE:
            self.skipTest("no source and committed paths given")
        with open(SOURCE, encoding="utf-8") as f:
            expected = "".join(line + "\r\n" for line in nes20db.convert(f.readlines())).encode("ascii")
        with open(COMMITTED, "rb") as f:
            committed = f.read()
        self.assertEqual(committed, expected, "regenerate assets/header/nes20db.txt (see its README.md)")


if __name__ == "__main__":
    if len(sys.argv) >= 3:
        SOURCE, COMMITTED = sys.argv[1], sys.argv[2]
        del sys.argv[1:3]
    unittest.main()
