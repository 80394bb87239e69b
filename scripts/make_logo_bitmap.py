#!/usr/bin/env python3
"""Draws the dialogs' logo bitmap (resource 102): a small product-code block
(information bits, row checks, column checks and checks on checks) beside the
letters TPC in block capitals. Writes a 24-bit BMP.

Usage: scripts/make_logo_bitmap.py [OUTPUT]   (default host/dialogs/win32/logo.bmp)
"""
import struct
import sys

# About 145 x 58 dialog units at the dialogs' 8-point font.
WIDTH, HEIGHT = 218, 94

BACKGROUND = (255, 255, 255)
GRID_LINE = (40, 40, 60)
INFORMATION = (120, 170, 230)
ROW_CHECK = (245, 170, 70)
COLUMN_CHECK = (245, 170, 70)
CHECK_ON_CHECK = (200, 80, 60)
LETTERS = (30, 60, 120)

# 5 x 7 block capitals, one string per row, '#' a filled cell.
GLYPHS = {
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
}


def blank():
    return [[BACKGROUND] * WIDTH for _ in range(HEIGHT)]


def fill(pixels, x0, y0, w, h, colour):
    for y in range(max(0, y0), min(HEIGHT, y0 + h)):
        for x in range(max(0, x0), min(WIDTH, x0 + w)):
            pixels[y][x] = colour


def draw_block(pixels, x0, y0, cells, cell):
    """An n x n code block: (n-1) x (n-1) information, one check column and row."""
    for row in range(cells):
        for col in range(cells):
            last_row, last_col = row == cells - 1, col == cells - 1
            if last_row and last_col:
                colour = CHECK_ON_CHECK
            elif last_col:
                colour = ROW_CHECK
            elif last_row:
                colour = COLUMN_CHECK
            else:
                colour = INFORMATION
            fill(pixels, x0 + col * cell, y0 + row * cell, cell, cell, colour)
    size = cells * cell
    for i in range(cells + 1):
        fill(pixels, x0 + i * cell, y0, 1, size + 1, GRID_LINE)
        fill(pixels, x0, y0 + i * cell, size + 1, 1, GRID_LINE)


def draw_text(pixels, x0, y0, text, scale):
    for index, letter in enumerate(text):
        for row, line in enumerate(GLYPHS[letter]):
            for col, mark in enumerate(line):
                if mark == "#":
                    fill(pixels, x0 + (index * 6 + col) * scale, y0 + row * scale,
                         scale, scale, LETTERS)


def write_bmp(path, pixels):
    row_bytes = (WIDTH * 3 + 3) & ~3
    image_size = row_bytes * HEIGHT
    header = struct.pack("<2sIHHI", b"BM", 54 + image_size, 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, image_size, 2835, 2835, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info)
        for y in range(HEIGHT - 1, -1, -1):  # bottom row first
            row = b"".join(struct.pack("BBB", b, g, r) for r, g, b in pixels[y])
            out.write(row + b"\0" * (row_bytes - WIDTH * 3))


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "host/dialogs/win32/logo.bmp"
    pixels = blank()
    fill(pixels, 0, 0, WIDTH, 1, GRID_LINE)
    fill(pixels, 0, HEIGHT - 1, WIDTH, 1, GRID_LINE)
    fill(pixels, 0, 0, 1, HEIGHT, GRID_LINE)
    fill(pixels, WIDTH - 1, 0, 1, HEIGHT, GRID_LINE)
    draw_block(pixels, 10, 7, 8, 10)
    draw_text(pixels, 100, 19, "TPC", 6)
    write_bmp(path, pixels)


if __name__ == "__main__":
    main()
