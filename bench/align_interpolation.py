#!/usr/bin/python3
"""How well and how fast each OpenCV interpolation warps a view the way
--align does (a roll, zoom, offset and keystone, one resampling).

Quality: a real view at twice the size is warped with Lanczos and reduced
by area averaging; that stands for the ideal warp of the half-size view,
which each interpolation warps directly. PSNR over the part both cover.
Cost: one warp of a 3264 x 2448 four-channel view, the size of one view of
a 16-megapixel side-by-side pair; the median of five, and its ratio to
INTER_LINEAR. The program warps with its own fixed-point bilinear
(anaglyph/perspective_warp.*), which its test holds within two levels of an
exact bilinear: the "linear" row stands for its quality.
Usage: bench/align_interpolation.py SIDE_BY_SIDE_PICTURE
"""
import sys
import time

import cv2
import numpy as np

from align_accuracy import homography


def main():
    picture = cv2.imread(sys.argv[1], cv2.IMREAD_COLOR)
    view = picture[:, : picture.shape[1] // 2]
    h2, w2 = (view.shape[0] // 2) * 2, (view.shape[1] // 2) * 2
    big = view[:h2, :w2]
    small = cv2.resize(big, (w2 // 2, h2 // 2), interpolation=cv2.INTER_AREA)
    hs, ws = small.shape[:2]
    m_small = homography(ws, hs, 1.5, 1.03, 6, 0.02)
    scale = np.diag([2.0, 2.0, 1.0])
    # The same warp on the pixel grid twice as fine (centres at 2x + 0.5).
    shift = np.array([[1, 0, 0.5], [0, 1, 0.5], [0, 0, 1]])
    m_big = np.linalg.inv(shift) @ scale @ m_small @ np.linalg.inv(scale) @ shift
    ideal = cv2.warpPerspective(big, m_big, (w2, h2), flags=cv2.INTER_LANCZOS4)
    ideal = cv2.resize(ideal, (ws, hs), interpolation=cv2.INTER_AREA).astype(np.float64)
    inner = (slice(hs // 8, hs - hs // 8), slice(ws // 8, ws - ws // 8))

    large = cv2.cvtColor(cv2.resize(view, (3264, 2448), interpolation=cv2.INTER_CUBIC), cv2.COLOR_BGR2BGRA)
    m_large = homography(3264, 2448, 1.5, 1.03, 6, 0.02)
    methods = [("nearest", cv2.INTER_NEAREST), ("linear", cv2.INTER_LINEAR), ("cubic", cv2.INTER_CUBIC),
               ("lanczos4", cv2.INTER_LANCZOS4)]
    costs = {}
    rows = []
    for name, flag in methods:
        warped = cv2.warpPerspective(small, m_small, (ws, hs), flags=flag).astype(np.float64)
        mse = np.mean((warped[inner] - ideal[inner]) ** 2)
        times = []
        for _ in range(5):
            start = time.perf_counter()
            cv2.warpPerspective(large, m_large, (3264, 2448), flags=flag)
            times.append(time.perf_counter() - start)
        costs[name] = float(np.median(times))
        rows.append((name, 10 * np.log10(255 ** 2 / mse)))
    print(f"{'interpolation':14} {'PSNR dB':>8} {'ms (3264x2448)':>15} {'x linear':>9}")
    for name, psnr in rows:
        print(f"{name:14} {psnr:8.2f} {costs[name] * 1000:15.1f} {costs[name] / costs['linear']:9.2f}")


if __name__ == "__main__":
    main()
