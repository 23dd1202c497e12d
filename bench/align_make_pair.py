#!/usr/bin/python3
"""Writes the 16-megapixel side-by-side pair for bench/align.sh: the 3DS
sample's views scaled to 3264 x 2448 (Lanczos), the right view given a 1.2
degree roll, a 1.5 % zoom and a 12-row offset, as a JPEG of quality 92.
Usage: bench/align_make_pair.py OUTPUT.jpg"""
import os
import sys

import cv2
import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import align_accuracy as a  # noqa: E402

here = os.path.dirname(os.path.abspath(__file__))
left, right = a.views_of(os.path.join(here, "..", "tests", "data", "3ds-pond.mpo"))
left = cv2.resize(left, (3264, 2448), interpolation=cv2.INTER_LANCZOS4)
right = cv2.resize(right, (3264, 2448), interpolation=cv2.INTER_LANCZOS4)
right = cv2.warpPerspective(right, a.homography(3264, 2448, roll_deg=1.2, zoom=1.015, dy=12), (3264, 2448),
                            flags=cv2.INTER_LANCZOS4, borderMode=cv2.BORDER_REFLECT)
cv2.imwrite(sys.argv[1], np.hstack([left, right]), [cv2.IMWRITE_JPEG_QUALITY, 92])
