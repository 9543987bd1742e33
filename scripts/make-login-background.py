#!/usr/bin/python3
"""Draws the login window's background (456 x 289 JPEG) and the windows' icon into resources/.

Run from anywhere: /usr/bin/python3 scripts/make-login-background.py
Needs python3-pil and fonts-wqy-microhei (both installed by scripts/setup-debian.sh).
The outputs are committed; re-run only to change the artwork.
"""
from pathlib import Path

from PIL import Image, ImageDraw, ImageFilter, ImageFont

ROOT = Path(__file__).resolve().parent.parent
FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"

WIDTH, HEIGHT = 456, 289
PALE = (214, 232, 248)
WHITE = (255, 255, 255)
DEEP = (36, 92, 160)
MID = (92, 146, 206)


def font(size):
    return ImageFont.truetype(FONT, size)


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def draw_lock(draw, x, y, size, body, shackle, hole):
    """A padlock whose body's top-left corner is (x, y); size is the body's width."""
    w = size
    h = round(size * 0.78)
    r = round(size * 0.32)
    line = max(2, round(size * 0.13))
    cx = x + w // 2
    draw.arc([cx - r, y - r - line // 2, cx + r, y + r - line // 2], 180, 360, fill=shackle, width=line)
    draw.line([cx - r + line // 2, y - line // 2, cx - r + line // 2, y + 2], fill=shackle, width=line)
    draw.line([cx + r - line // 2 - 1, y - line // 2, cx + r - line // 2 - 1, y + 2], fill=shackle, width=line)
    draw.rounded_rectangle([x, y, x + w, y + h], radius=max(2, size // 8), fill=body)
    k = max(2, size // 9)
    draw.ellipse([cx - k, y + h // 3 - k, cx + k, y + h // 3 + k], fill=hole)
    draw.rectangle([cx - k // 2, y + h // 3, cx + k // 2, y + h // 3 + 2 * k + 1], fill=hole)


def background():
    img = Image.new("RGB", (WIDTH, HEIGHT), WHITE)
    draw = ImageDraw.Draw(img)

    # Pale blue on the left fading to white on the right, where the labels and boxes sit.
    for x in range(WIDTH):
        t = min(1.0, max(0.0, (x - 90) / 150))
        draw.line([x, 0, x, HEIGHT], fill=lerp(PALE, WHITE, t))

    # Soft rings behind the title for depth.
    rings = Image.new("L", (WIDTH, HEIGHT), 0)
    rd = ImageDraw.Draw(rings)
    for i, radius in enumerate((150, 115, 80)):
        rd.ellipse([-radius + 40, HEIGHT - radius - 20, radius + 40, HEIGHT + radius - 20], outline=60 - i * 12, width=10)
    rings = rings.filter(ImageFilter.GaussianBlur(3))
    img.paste(Image.new("RGB", (WIDTH, HEIGHT), MID), (0, 0), rings.point(lambda v: v // 2))

    draw = ImageDraw.Draw(img)
    # Banner top left: a blue band with the padlock logo and the product name.
    banner_w, banner_h = 236, 44
    for y in range(banner_h):
        draw.line([0, y, banner_w - 22, y], fill=lerp(DEEP, MID, y / banner_h))
    draw.polygon([(banner_w - 22, 0), (banner_w, 0), (banner_w - 22, banner_h)], fill=lerp(DEEP, MID, 0.5))
    draw.line([0, banner_h, WIDTH, banner_h], fill=MID, width=1)
    draw_lock(draw, 14, 16, 20, WHITE, WHITE, DEEP)
    draw.text((46, 7), "锁务通", font=font(24), fill=WHITE)
    draw.text((128, 15), "SUOWUTONG", font=font(12), fill=(206, 226, 246))

    # The title down the left side, one large character under the other.
    title_font = font(44)
    for i, ch in enumerate("登陆系统"):
        x, y = 40, 62 + i * 54
        draw.text((x + 2, y + 2), ch, font=title_font, fill=(170, 198, 228))
        draw.text((x, y), ch, font=title_font, fill=DEEP)

    # A thin divider between the artwork and the form area.
    for y in range(70, HEIGHT - 16):
        t = abs((y - 170) / 100)
        draw.point((150, y), fill=lerp(MID, WHITE, min(1.0, t)))

    img.save(ROOT / "resources" / "login-background.jpg", "JPEG", quality=92, optimize=True)


def icon():
    size = 64
    img = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    draw = ImageDraw.Draw(img)
    draw.rounded_rectangle([2, 2, size - 3, size - 3], radius=12, fill=DEEP)
    draw_lock(draw, 18, 28, 28, WHITE, WHITE, DEEP)
    img.save(ROOT / "resources" / "suowutong.png")


if __name__ == "__main__":
    background()
    icon()
