#!/usr/bin/env python3
"""Writes the program's pictures as small SVG files beside this script.

The screens look pictures up by name; button pictures are stretched to the
button, icons are drawn at their own size. Run it again after changing a
colour or shape and commit the SVG files it writes.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))

# The dark look: panel 50,50,62; accent blue 18,115,239; link blue 0,182,255.
PANEL = "#32323e"
BLUE = "#1273ef"
BLUE_HOVER = "#3a8cf5"
BLUE_PRESS = "#0d5cc4"
LINK = "#00b6ff"
GREY = "#4a4a58"
GREY_HOVER = "#5a5a6a"
GREY_PRESS = "#3c3c48"
DISABLED = "#3e3e4a"
TEAL = "#7fcfdc"
WHITE = "#ffffff"
DIM = "#8c8c99"


def write(name, w, h, body):
    text = (f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" '
            f'viewBox="0 0 {w} {h}">\n{body}</svg>\n')
    with open(os.path.join(HERE, name + ".svg"), "w") as f:
        f.write(text)


def rect(w, h, r, fill, stroke=None, opacity=1.0):
    s = f' stroke="{stroke}" stroke-width="1"' if stroke else ""
    o = f' fill-opacity="{opacity}"' if opacity != 1.0 else ""
    return (f'  <rect x="0.5" y="0.5" width="{w - 1}" height="{h - 1}" rx="{r}" '
            f'fill="{fill}"{o}{s}/>\n')


def family(base, w, h, r, looks, plain_rest=False):
    """looks: state -> (fill, stroke, opacity). plain_rest also writes the
    bare base name as the resting picture."""
    for state, (fill, stroke, opacity) in looks.items():
        write(f"{base}_{state}", w, h, rect(w, h, r, fill, stroke, opacity))
    if plain_rest:
        fill, stroke, opacity = looks["normal"]
        write(base, w, h, rect(w, h, r, fill, stroke, opacity))


def buttons():
    solid = {"normal": (BLUE, None, 1.0), "press": (BLUE_PRESS, None, 1.0),
             "hover": (BLUE_HOVER, None, 1.0), "disable": (DISABLED, None, 1.0)}
    outline = {"normal": (WHITE, "#8c8c99", 0.0), "press": (WHITE, "#c8c8d0", 0.06),
               "hover": (WHITE, "#c8c8d0", 0.12), "disable": (WHITE, "#4a4a58", 0.0)}
    grey = {"normal": (GREY, None, 1.0), "press": (GREY_PRESS, None, 1.0),
            "hover": (GREY_HOVER, None, 1.0), "disable": (DISABLED, None, 1.0)}
    family("btn_pril", 110, 32, 4, solid)
    family("btn_secl", 110, 32, 4, outline)
    family("btn_main", 180, 44, 6, solid, plain_rest=True)
    family("btn_pri", 90, 30, 4, solid, plain_rest=True)
    family("btn_s", 100, 24, 4, grey)
    family("btn_b", 110, 22, 4, {"normal": (WHITE, "#8c8c99", 0.0),
                                "press": (WHITE, "#c8c8d0", 0.08),
                                "hover": (WHITE, "#c8c8d0", 0.12),
                                "disable": (WHITE, "#4a4a58", 0.0)})


def icon_family(base, w, h, draw, colours):
    """draw(colour) -> SVG body; colours: state -> colour. The bare base name
    is the resting picture, "_normal" the same."""
    for state, colour in colours.items():
        write(f"{base}_{state}", w, h, draw(colour))
    write(base, w, h, draw(colours["normal"]))


def four(normal, press, hover, disable):
    return {"normal": normal, "press": press, "hover": hover, "disable": disable}


def icon_buttons():
    back = lambda c: (f'  <path d="M15 5l-7 7 7 7" fill="none" stroke="{c}" stroke-width="2.2" '
                      f'stroke-linecap="round" stroke-linejoin="round"/>\n')
    icon_family("back", 24, 24, back, four(DIM, LINK, WHITE, "#4a4a58"))
    sortby = lambda c: (f'  <path d="M4 6h12M4 10h9M4 14h6" stroke="{c}" stroke-width="1.8" '
                        f'stroke-linecap="round"/>\n')
    icon_family("sortby", 20, 20, sortby, four(DIM, LINK, WHITE, "#4a4a58"))
    cross = lambda c: (f'  <circle cx="8" cy="8" r="7" fill="{c}" fill-opacity="0.35"/>\n'
                       f'  <path d="M5.5 5.5l5 5M10.5 5.5l-5 5" stroke="{WHITE}" stroke-width="1.5" '
                       f'stroke-linecap="round"/>\n')
    icon_family("ic_close", 16, 16, cross, four(DIM, LINK, WHITE, "#4a4a58"))
    # The side buttons of the two erase screens: the erasure level (a gear of
    # eight teeth) and the support link (a question mark in a ring).
    gear = lambda c: (f'  <path d="M10 2.5l1.2 2 2.3-.6.6 2.3 2 1.2-1 2.1 1 2.1-2 1.2-.6 2.3-2.3-.6L10 17.5'
                      f'l-1.2-2-2.3.6-.6-2.3-2-1.2 1-2.1-1-2.1 2-1.2.6-2.3 2.3.6z" fill="none" stroke="{c}" '
                      f'stroke-width="1.5" stroke-linejoin="round"/>\n'
                      f'  <circle cx="10" cy="10" r="2.6" fill="none" stroke="{c}" stroke-width="1.5"/>\n')
    icon_family("ic_set", 20, 20, gear, four(DIM, LINK, WHITE, "#4a4a58"))
    support = lambda c: (f'  <circle cx="10" cy="10" r="8" fill="none" stroke="{c}" stroke-width="1.5"/>\n'
                         f'  <path d="M7.6 7.8a2.4 2.4 0 1 1 3.4 2.2c-.7.3-1 .8-1 1.5v.6" fill="none" stroke="{c}" '
                         f'stroke-width="1.5" stroke-linecap="round"/>\n'
                         f'  <circle cx="10" cy="14.6" r="0.9" fill="{c}"/>\n')
    icon_family("ic_support", 20, 20, support, four(DIM, LINK, WHITE, "#4a4a58"))
    write("ic_add", 10, 12, f'  <path d="M5 2v8M1 6h8" stroke="{WHITE}" stroke-width="1.6" '
                            f'stroke-linecap="round"/>\n')


def marks():
    write("checkbox_no", 16, 16, rect(16, 16, 3, WHITE, "#8c8c99", 0.0))
    write("checkbox_yes", 16, 16, rect(16, 16, 3, BLUE) +
          f'  <path d="M4 8.2l2.7 2.7L12 5.5" fill="none" stroke="{WHITE}" stroke-width="1.8" '
          f'stroke-linecap="round" stroke-linejoin="round"/>\n')
    write("checkbox_election", 16, 16, rect(16, 16, 3, BLUE) +
          f'  <path d="M4.5 8h7" stroke="{WHITE}" stroke-width="1.8" stroke-linecap="round"/>\n')
    # The sort drop-down's row mark and the list's reveal-in-folder magnifier.
    write("sort_check", 12, 12, f'  <path d="M2 6.3l2.6 2.6L10 3.5" fill="none" stroke="{WHITE}" '
                                f'stroke-width="1.6" stroke-linecap="round" stroke-linejoin="round"/>\n')
    stroke_icon("search", 16, ["M7 2.5a4.5 4.5 0 1 0 0 9a4.5 4.5 0 1 0 0-9z", "M10.3 10.3L14 14"], DIM)
    write("radiobutton_no", 16, 16, f'  <circle cx="8" cy="8" r="7" fill="none" stroke="#8c8c99"/>\n')
    write("radiobutton_sel", 16, 16, f'  <circle cx="8" cy="8" r="7" fill="none" stroke="{BLUE}"/>\n'
                                     f'  <circle cx="8" cy="8" r="4" fill="{BLUE}"/>\n')


def stroke_icon(name, size, paths, colour):
    body = "".join(f'  <path d="{d}" fill="none" stroke="{colour}" stroke-width="1.8" '
                   f'stroke-linecap="round" stroke-linejoin="round"/>\n' for d in paths)
    write(name, size, size, body)


def navigation():
    shapes = {
        "ic_file": ["M7 3h7l5 5v13H7z", "M14 3v5h5", "M10 13h6M10 17h6"],
        "ic_wipe_hdd": ["M3 14h18v5H3z", "M5 14l3-9h8l3 9", "M17 16.5h.5"],
        "ic_wipe_free": ["M4 6h16v12H4z", "M8 6v12", "M11 10h6M11 14h4"],
        "ic_repair": ["M14 4a5 5 0 0 0-4 7l-6 6 3 3 6-6a5 5 0 0 0 7-4l-3 3-3-3z"],
        "ic_uninstall": ["M5 7h14", "M9 7V4h6v3", "M7 7l1 13h8l1-13", "M10.5 11v6M13.5 11v6"],
        "ic_internet": ["M12 3a9 9 0 1 0 0 18a9 9 0 1 0 0-18z", "M3 12h18",
                        "M12 3c3 3 3 15 0 18M12 3c-3 3-3 15 0 18"],
    }
    for name, paths in shapes.items():
        stroke_icon(name, 24, paths, DIM)
        stroke_icon(name + "_sel", 24, paths, WHITE)
    stroke_icon("ic_history", 20, ["M10 3a7 7 0 1 1-7 7", "M10 6v4l3 2", "M3 5v5h5"], LINK)
    stroke_icon("ic_history_none", 20, ["M10 3a7 7 0 1 1-7 7", "M10 6v4l3 2", "M3 5v5h5"], DIM)
    stroke_icon("ic_export", 20, ["M10 13V3", "M6 7l4-4 4 4", "M4 12v5h12v-5"], DIM)
    trash = ["M4 6h12", "M8 6V4h4v2", "M5.5 6l1 11h7l1-11"]
    stroke_icon("ic_trash", 20, trash, DIM)
    stroke_icon("ic_trash_hover", 20, trash, "#ff5b5b")
    # An application with no icon of its own: a window, never the trash.
    stroke_icon("ic_app", 24, ["M4 5a1 1 0 0 1 1-1h14a1 1 0 0 1 1 1v14a1 1 0 0 1-1 1H5a1 1 0 0 1-1-1z",
                               "M4 8h16", "M8 12h3v3H8zM13 12h3v3h-3z"], DIM)


def volumes():
    write("ic_disk", 32, 32, rect(32, 32, 4, "#5a5a6a") +
          '  <circle cx="16" cy="14" r="8" fill="#32323e"/>\n'
          '  <circle cx="16" cy="14" r="2" fill="#8c8c99"/>\n'
          '  <rect x="6" y="25" width="20" height="2" rx="1" fill="#8c8c99"/>\n')
    write("ic_os", 32, 32, rect(32, 32, 4, "#5a5a6a") +
          f'  <rect x="7" y="8" width="18" height="12" rx="1.5" fill="{BLUE}"/>\n'
          '  <rect x="12" y="23" width="8" height="2" rx="1" fill="#8c8c99"/>\n')
    write("ic_usb", 32, 32,
          '  <rect x="10" y="2" width="12" height="8" fill="#8c8c99"/>\n'
          '  <rect x="13" y="4" width="2" height="3" fill="#32323e"/>\n'
          '  <rect x="17" y="4" width="2" height="3" fill="#32323e"/>\n'
          '  <rect x="7" y="10" width="18" height="20" rx="3" fill="#5a5a6a"/>\n'
          f'  <circle cx="16" cy="21" r="3" fill="{LINK}"/>\n')


def steps():
    write("step", 20, 20, '  <circle cx="10" cy="10" r="8" fill="#202027" stroke="#4a4a58"/>\n')
    write("step_ok", 20, 20, f'  <circle cx="10" cy="10" r="8.5" fill="{BLUE}"/>\n'
                             f'  <path d="M6 10.2l2.7 2.7L14 7.5" fill="none" stroke="{WHITE}" '
                             f'stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"/>\n')
    write("step_loading", 20, 20, '  <circle cx="10" cy="10" r="8" fill="none" stroke="#4a4a58" stroke-width="2"/>\n'
                                  f'  <path d="M10 2a8 8 0 0 1 8 8" fill="none" stroke="{LINK}" '
                                  f'stroke-width="2" stroke-linecap="round"/>\n')


def tabs():
    glyphs = {
        "tab_app": '<rect x="51" y="8" width="16" height="16" rx="4" fill="none" stroke="{c}" stroke-width="1.8"/>',
        "tab_wid": '<circle cx="59" cy="16" r="8" fill="none" stroke="{c}" stroke-width="1.8"/>'
                   '<path d="M59 11v5l3 2" fill="none" stroke="{c}" stroke-width="1.8" stroke-linecap="round"/>',
        "tab_plugin": '<path d="M53 12h12v10H53zM56 12V8M62 12V8" fill="none" stroke="{c}" '
                      'stroke-width="1.8" stroke-linejoin="round" stroke-linecap="round"/>',
    }
    for name, glyph in glyphs.items():
        write(name, 118, 32, rect(118, 32, 4, PANEL) + "  " + glyph.format(c=DIM) + "\n")
        write(name + "_sel", 118, 32, rect(118, 32, 4, BLUE) + "  " + glyph.format(c=WHITE) + "\n")


def browser_categories():
    shapes = {
        "icon_history": ["M8 2a6 6 0 1 1-6 6", "M8 5v3l2 1.5"],
        "icon_download": ["M8 2v9", "M4.5 7.5L8 11l3.5-3.5", "M3 14h10"],
        "icon_password": ["M4 7h8v7H4z", "M5.5 7V5a2.5 2.5 0 0 1 5 0v2"],
        "icon_cookies": ["M8 2a6 6 0 1 0 6 6a2.5 2.5 0 0 1-3-3a2.5 2.5 0 0 1-3-3z", "M6 8h.5M9 11h.5"],
        "icon_caches": ["M3 4h10v3H3zM3 9h10v3H3z"],
        "icon_autofill": ["M3 12l7-7 2 2-7 7H3z", "M9 6l2 2"],
        "icon_tabform": ["M2 4h12v9H2z", "M2 7h12", "M6 4v3"],
    }
    for name, paths in shapes.items():
        body = "".join(f'  <path d="{d}" fill="none" stroke="{TEAL}" stroke-width="1.4" '
                       f'stroke-linecap="round" stroke-linejoin="round"/>\n' for d in paths)
        write(name, 16, 16, body)


def window_buttons():
    colours = {"close": "#ff5f57", "minimize": "#febc2e", "zoom": "#28c840"}
    glyphs = {"close": "M4 4l4 4M8 4l-4 4", "minimize": "M3.5 6h5", "zoom": "M6 3.5v5M3.5 6h5"}
    for kind, colour in colours.items():
        ball = f'  <circle cx="6" cy="6" r="5.5" fill="{colour}"/>\n'
        write(f"window-button-{kind}-active", 12, 12, ball)
        write(f"window-button-{kind}-hover", 12, 12, ball +
              f'  <path d="{glyphs[kind]}" stroke="#4d0000" stroke-opacity="0.6" stroke-width="1.2" '
              f'stroke-linecap="round"/>\n')
    write("window-button-all-inactive", 12, 12,
          '  <circle cx="6" cy="6" r="5.5" fill="#5a5a66" stroke="#6c6c78" stroke-width="0.5"/>\n')


if __name__ == "__main__":
    buttons()
    icon_buttons()
    marks()
    navigation()
    volumes()
    steps()
    tabs()
    browser_categories()
    window_buttons()
