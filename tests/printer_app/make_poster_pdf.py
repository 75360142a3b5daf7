#!/usr/bin/env python3
"""Writes a one-page PDF poster of coloured bands and a grey ramp, of the size asked for, for
the printer application's tests: make_poster_pdf.py OUT.pdf WIDTH_PT HEIGHT_PT"""
import sys

out, width, height = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
bands = [(0, 0.68, 0.94), (0.93, 0, 0.55), (1, 0.95, 0), (0.1, 0.1, 0.1), (0, 0.65, 0.32),
         (0.97, 0.58, 0.11)]
ops = []
step = height / (len(bands) + 2)
for i, (r, g, b) in enumerate(bands):
    ops.append(f"{r} {g} {b} rg 0 {i * step:.2f} {width:.2f} {step * 0.8:.2f} re f")
for k in range(16):  # the grey ramp across the top
    ops.append(f"{k / 15:.3f} g {k * width / 16:.2f} {height - step:.2f} {width / 16:.2f} {step:.2f} re f")
content = "\n".join(ops).encode()
objects = [
    b"<< /Type /Catalog /Pages 2 0 R >>",
    b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
    f"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 {width:.2f} {height:.2f}] /Contents 4 0 R >>".encode(),
    b"<< /Length " + str(len(content)).encode() + b" >>\nstream\n" + content + b"\nendstream",
]
pdf = bytearray(b"%PDF-1.4\n")
offsets = []
for number, body in enumerate(objects, 1):
    offsets.append(len(pdf))
    pdf += f"{number} 0 obj\n".encode() + body + b"\nendobj\n"
xref = len(pdf)
pdf += f"xref\n0 {len(objects) + 1}\n0000000000 65535 f \n".encode()
for offset in offsets:
    pdf += f"{offset:010d} 00000 n \n".encode()
pdf += f"trailer\n<< /Size {len(objects) + 1} /Root 1 0 R >>\nstartxref\n{xref}\n%%EOF\n".encode()
with open(out, "wb") as f:
    f.write(pdf)
