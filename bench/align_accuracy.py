#!/usr/bin/python3
"""Accuracy of --align and --shift auto, beside Hugin's align_image_stack.

Each real pair is tried as shot and with a known extra roll, zoom, offset
and keystone given to its right view (warped with Lanczos, then both views
cut to their inner part, so that no empty border is left for either tool).
The residual vertical disparity is measured by an independent matcher: SIFT
matches between the two views (our output: the grey anaglyph's red and green
channels, which hold the left and right views' luma), cleaned by a
fundamental-matrix RANSAC, which knows nothing of rows. Our alignment uses
ORB; the two share nothing but OpenCV.

The stereo window is judged the same way: the nearest part's separation
on our output, found from SIFT's matches as the program finds it from its
own. Four SIFT judges of different but equally sound settings are run on
each output, and how far apart their answers lie shows how finely the
nearest part can be told on that pair at all.

With --jpeg-views WIDTH the views are first scaled up to WIDTH pixels wide
(Lanczos) and the pairs given to the program, and taken from it, as JPEG
(quality 95): the path a large side-by-side JPEG takes, which measures on
a reduced decode. align_image_stack is left out there.

Usage: bench/align_accuracy.py PROGRAM SAMPLES_FOLDER WORK_FOLDER [--jpeg-views WIDTH]
"""
import os
import subprocess
import sys
import time

import cv2
import numpy as np
from PIL import Image


def views_of(path):
    if path.endswith(".mpo"):
        im = Image.open(path)
        frames = []
        for i in range(2):
            im.seek(i)
            frames.append(cv2.cvtColor(np.array(im.convert("RGB")), cv2.COLOR_RGB2BGR))
        return frames
    picture = np.array(Image.open(path).convert("RGB"))[:, :, ::-1]
    half = picture.shape[1] // 2
    return [np.ascontiguousarray(picture[:, :half]), np.ascontiguousarray(picture[:, half:2 * half])]


def homography(width, height, roll_deg=0.0, zoom=1.0, dy=0.0, keystone=0.0):
    cx, cy, n = (width - 1) / 2, (height - 1) / 2, max(width, height) / 2
    a = np.radians(roll_deg)
    model = np.array([[zoom * np.cos(a), -zoom * np.sin(a), 0],
                      [zoom * np.sin(a), zoom * np.cos(a), dy / n],
                      [keystone / (width / n), 0, 1]])
    to_unit = np.array([[1 / n, 0, -cx / n], [0, 1 / n, -cy / n], [0, 0, 1]])
    return np.linalg.inv(to_unit) @ model @ to_unit


def distorted(left, right, **change):
    h, w = left.shape[:2]
    warped = cv2.warpPerspective(right, homography(w, h, **change), (w, h), flags=cv2.INTER_LANCZOS4)
    mx, my = int(w * 0.08), int(h * 0.08)
    return left[my:h - my, mx:w - mx].copy(), warped[my:h - my, mx:w - mx].copy()


def grey(image):
    return image if image.ndim == 2 else cv2.cvtColor(image, cv2.COLOR_BGR2GRAY)


def sift_features(image, features):
    return cv2.SIFT_create(features).detectAndCompute(grey(image), None)


def matched(left_features, right_features, ratio):
    (kl, dl), (kr, dr) = left_features, right_features
    if dl is None or dr is None:
        return np.zeros((0, 2)), np.zeros((0, 2))
    pairs = cv2.BFMatcher(cv2.NORM_L2).knnMatch(dl, dr, k=2)
    good = [m for m, n in (p for p in pairs if len(p) == 2) if m.distance < ratio * n.distance]
    pl = np.float64([kl[m.queryIdx].pt for m in good])
    pr = np.float64([kr[m.trainIdx].pt for m in good])
    if len(good) < 8:
        return pl, pr
    _, mask = cv2.findFundamentalMat(pl, pr, cv2.FM_RANSAC, 1.0, 0.999)
    keep = mask.ravel().astype(bool)
    return pl[keep], pr[keep]


def sift_matches(left, right, features=4000, ratio=0.75):
    return matched(sift_features(left, features), sift_features(right, features), ratio)


def vertical(left, right):
    pl, pr = sift_matches(left, right)
    dy = np.abs(pl[:, 1] - pr[:, 1])
    return (np.median(dy), np.percentile(dy, 90), len(dy)) if len(dy) else (float("nan"),) * 2 + (0,)


# The judge's own settings, then three others as sound: how far apart their
# answers lie on the same views says how finely the nearest part can be
# told at all.
JUDGES = [(4000, 0.75), (8000, 0.75), (4000, 0.7), (2000, 0.75)]


def nearest_share(pl, pr, width, height):
    """The nearest part's separation as a share of the width, from matches pl, pr on views width x
    height: the picture cut into 16 columns of cells, each cell with three matches or more one part at
    its median separation (x right - x left), the parts' 2nd percentile, as the program defines it, but
    from SIFT's matches."""
    h, w = height, width
    columns, rows = 16, max(1, round(16 * h / w))
    cells = {}
    for (xl, yl), (xr, _) in zip(pl, pr):
        key = (min(columns - 1, int(xl * columns / w)), min(rows - 1, int(yl * rows / h)))
        cells.setdefault(key, []).append(xr - xl)
    parts = [np.median(v) for v in cells.values() if len(v) >= 3]
    if not parts:
        return float("nan")
    return np.percentile(parts, 2, method="nearest") / w


def judged_shares(left, right):
    """The nearest part's share from each judge in JUDGES, in per cent; the features are found once for
    each feature count, the judges that differ only in their ratio sharing them."""
    found = {}
    shares = []
    for features, ratio in JUDGES:
        if features not in found:
            found[features] = (sift_features(left, features), sift_features(right, features))
        pl, pr = matched(*found[features], ratio)
        shares.append(nearest_share(pl, pr, left.shape[1], left.shape[0]) * 100)
    return shares


def run_ours(left, right, work, name, options):
    kind = "jpg" if JPEG_VIEWS else "png"
    source = os.path.join(work, name + "-pair." + kind)
    output = os.path.join(work, name + "-ours." + kind)
    cv2.imwrite(source, np.hstack([left, right]), [cv2.IMWRITE_JPEG_QUALITY, 95])
    start = time.perf_counter()
    done = subprocess.run([PROGRAM, "-c", "-q", "--layout", "sbs", "--method", "grey", *options, "-o", output,
                           source], capture_output=True, text=True)
    seconds = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit(f"{PROGRAM} failed on {source}: {done.stderr}")
    anaglyph = cv2.imread(output, cv2.IMREAD_COLOR)
    return anaglyph[:, :, 2], anaglyph[:, :, 1], seconds, done.stderr.strip()


def run_hugin(left, right, work, name):
    paths = [os.path.join(work, f"{name}-{side}.tif") for side in ("l", "r")]
    cv2.imwrite(paths[0], left)
    cv2.imwrite(paths[1], right)
    prefix = os.path.join(work, name + "-hugin")
    start = time.perf_counter()
    done = subprocess.run(["align_image_stack", "-a", prefix, "-m", "-i", "-S", "-C", *paths],
                          capture_output=True, text=True)
    seconds = time.perf_counter() - start
    outs = [f"{prefix}{i:04d}.tif" for i in range(2)]
    if done.returncode != 0 or not all(os.path.exists(p) for p in outs):
        return None, None, seconds
    return (cv2.imread(outs[0], cv2.IMREAD_COLOR), cv2.imread(outs[1], cv2.IMREAD_COLOR), seconds)


def row(label, before, figures, kept, seconds):
    med, p90, n = figures
    return f"{label:34} {before[0]:6.2f} {before[1]:6.2f} | {med:6.2f} {p90:6.2f} {n:5d} {kept * 100:6.1f} {seconds:6.2f}"


PROGRAM = ""
JPEG_VIEWS = 0


def scaled_up(view):
    if not JPEG_VIEWS:
        return view
    h, w = view.shape[:2]
    return cv2.resize(view, (JPEG_VIEWS, round(h * JPEG_VIEWS / w)), interpolation=cv2.INTER_LANCZOS4)


def main():
    global PROGRAM, JPEG_VIEWS
    PROGRAM, samples, work = sys.argv[1:4]
    if sys.argv[4:6] and sys.argv[4] == "--jpeg-views":
        JPEG_VIEWS = int(sys.argv[5])
    os.makedirs(work, exist_ok=True)
    pairs = [("figure", "figure-sbs.jps"), ("pond", "3ds-pond.mpo"), ("treetrunk", "treetrunk-sbs-rgba.png"),
             ("bench-959", "bench-sbs-959.png")]
    changes = [("as shot", {}), ("+2.0 deg roll, +3 % zoom", {"roll_deg": 2.0, "zoom": 1.03}),
               ("+1.2 deg, 18 px, 2 % keystone", {"roll_deg": 1.2, "dy": 18.0, "keystone": 0.02})]
    header = (f"{'pair':34} {'before':>13} | {'median':>6} {'p90':>6} {'n':>5} {'kept%':>6} {'s':>6}")
    ours_rows, hugin_rows, window_rows, level_rows = [], [], [], []
    ours_all, hugin_all, window_all = [], [], []
    for name, file in pairs:
        left0, right0 = views_of(os.path.join(samples, file))
        width = min(left0.shape[1], right0.shape[1])
        left0, right0 = scaled_up(left0[:, :width].copy()), scaled_up(right0[:, :width].copy())
        for label, change in changes:
            left, right = (left0, right0) if not change else distorted(left0, right0, **change)
            tag = f"{name}-{len(ours_rows)}"
            before = vertical(left, right)
            area = left.shape[0] * left.shape[1]
            ol, orr, seconds, _ = run_ours(left, right, work, tag, ["--align"])
            ours = vertical(ol, orr)
            ours_all.append((ours, ol.shape[0] * ol.shape[1] / area))
            ours_rows.append(row(f"{name}, {label}", before, ours, ol.shape[0] * ol.shape[1] / area, seconds))
            hl, hr, hseconds = run_hugin(left, right, work, tag) if not JPEG_VIEWS else (None, None, 0)
            if JPEG_VIEWS:
                pass
            elif hl is None:
                hugin_rows.append(f"{name + ', ' + label:34} align_image_stack failed")
            else:
                hugin = vertical(hl, hr)
                hugin_all.append((hugin, hl.shape[0] * hl.shape[1] / area))
                hugin_rows.append(row(f"{name}, {label}", before, hugin, hl.shape[0] * hl.shape[1] / area, hseconds))
            for options, what in ((["--shift", "auto"], "auto"), (["--align", "--shift", "auto"], "align+auto")):
                wl, wr, _, _ = run_ours(left, right, work, tag + "-w", options)
                shares = judged_shares(wl, wr)
                spread = max(shares) - min(shares)
                window_all.append((abs(shares[0]), spread))
                window_rows.append(f"{name + ', ' + label:34} {what:11} {shares[0]:+7.3f} %   "
                                   f"{min(shares):+7.3f} .. {max(shares):+7.3f} %  ({spread:.3f})")
        # A level pair: the aligned views of the pair as shot, aligned again.
        ol, orr, _, note = run_ours(left0, right0, work, name + "-level0", ["--align"])
        before = vertical(ol, orr)
        al, ar, _, note = run_ours(ol, orr, work, name + "-level", ["--align"])
        after = vertical(al, ar)
        level_rows.append(f"{name:12} before {before[0]:5.2f} / {before[1]:5.2f} px, after {after[0]:5.2f} / "
                          f"{after[1]:5.2f} px, kept {al.shape[0] * al.shape[1] / (ol.shape[0] * ol.shape[1]) * 100:5.1f} %")

    def summary(rows):
        med = np.median([r[0][0] for r in rows])
        p90 = np.median([r[0][1] for r in rows])
        worst = max(r[0][1] for r in rows)
        kept = min(r[1] for r in rows)
        return f"median of medians {med:.2f} px, median of p90 {p90:.2f} px, worst p90 {worst:.2f} px, least kept {kept * 100:.1f} %"

    print("Residual vertical disparity (SIFT + fundamental RANSAC), px; kept = share of the view's area")
    print("\nstereoglass --align")
    print(header)
    print("\n".join(ours_rows))
    print("  " + summary(ours_all))
    print("\nalign_image_stack -a out -m -i -S -C")
    print(header)
    print("\n".join(hugin_rows))
    if hugin_all:
        print("  " + summary(hugin_all))
    print("\nLevel pairs (our aligned output, aligned again): median / p90")
    print("\n".join(level_rows))
    print("\nNearest part's separation after --shift auto (2nd percentile of SIFT separations, share of the width),")
    print(f"then the least and most of the {len(JUDGES)} SIFT judges (features, ratio: "
          + ", ".join(f"{f} {r}" for f, r in JUDGES) + ") on the same output, and their spread")
    print("\n".join(window_rows))
    print(f"  within 0.3 % of the window: {sum(a <= 0.3 for a, _ in window_all)} of {len(window_all)}, "
          f"mean distance {np.mean([a for a, _ in window_all]):.3f} %; the judges agree among themselves "
          f"within 0.3 % on {sum(s <= 0.3 for _, s in window_all)} of {len(window_all)}, "
          f"mean spread {np.mean([s for _, s in window_all]):.3f} %")
    agreed = [a for a, s in window_all if s <= 0.3]
    print(f"  where they agree: within 0.3 % of the window {sum(a <= 0.3 for a in agreed)} of {len(agreed)}")


if __name__ == "__main__":
    main()
