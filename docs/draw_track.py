#!/usr/bin/env python3
"""Draws the track of a KML document written by telem2kml as an SVG picture: the map seen from above and
the altitude along the way. Plain Python 3, no third-party modules; the same KML always gives the same bytes.

usage: docs/draw_track.py TRACK.kml PICTURE.svg [--title TEXT]

examples/flight-track.svg is made from the bundled example flight with
    build/telem2kml -t examples/flight.log -o flight.kml
    python3 docs/draw_track.py flight.kml examples/flight-track.svg --title "examples/flight.log"
"""
import argparse
import math
import sys
import xml.etree.ElementTree as ElementTree

EARTH_RADIUS = 6371008.8  # metres, the mean radius
WIDTH = 720
MARGIN = 48
MAP_HEIGHT = 460
PROFILE_HEIGHT = 150
TRACK_COLOUR = "#ff0000"  # style "1" of the document: ff0000ff is opaque red in KML's aabbggrr


def read_segments(path):
    """Every Placemark's coordinates as a list of (lon, lat, alt) tuples. Tuples are divided by white space,
    their numbers by commas; a blank after a comma, as telem2kml writes it, is allowed."""
    segments = []
    for element in ElementTree.parse(path).getroot().iter():
        if element.tag.rsplit("}", 1)[-1] != "coordinates" or element.text is None:
            continue
        tuples = ",".join(part.strip() for part in element.text.split(",")).split()
        points = [tuple(float(number) for number in item.split(",")) for item in tuples]
        if points:
            segments.append([(p[0], p[1], p[2] if len(p) > 2 else 0.0) for p in points])
    return segments


def chain(segments):
    """Joins segments that start where the previous one ended into one line each."""
    lines = []
    for segment in segments:
        if lines and lines[-1][-1] == segment[0]:
            lines[-1].extend(segment[1:])
        else:
            lines.append(list(segment))
    return lines


def nice_length(longest):
    """The largest of 1, 2, 5 times a power of ten that is not above `longest`."""
    power = 10 ** math.floor(math.log10(longest))
    return max(step * power for step in (1, 2, 5) if step * power <= longest)


def number(value):
    return f"{value:.1f}"


def path_data(points):
    return "M" + " L".join(f"{number(x)},{number(y)}" for x, y in points)


def draw(segments, title):
    lines = chain(segments)
    points = [p for line in lines for p in line]
    lon0 = (min(p[0] for p in points) + max(p[0] for p in points)) / 2
    lat0 = (min(p[1] for p in points) + max(p[1] for p in points)) / 2

    def metres(point):  # east and north of the middle of the track
        east = EARTH_RADIUS * math.radians(point[0] - lon0) * math.cos(math.radians(lat0))
        north = EARTH_RADIUS * math.radians(point[1] - lat0)
        return east, north

    local = [[metres(p) for p in line] for line in lines]
    flat = [q for line in local for q in line]
    span_x = max(max(q[0] for q in flat) - min(q[0] for q in flat), 1.0)
    span_y = max(max(q[1] for q in flat) - min(q[1] for q in flat), 1.0)
    map_width = WIDTH - 2 * MARGIN
    scale = min(map_width / span_x, (MAP_HEIGHT - 2 * MARGIN) / span_y)  # pixels per metre
    centre_x = (max(q[0] for q in flat) + min(q[0] for q in flat)) / 2
    centre_y = (max(q[1] for q in flat) + min(q[1] for q in flat)) / 2

    def on_map(q):
        return WIDTH / 2 + (q[0] - centre_x) * scale, MAP_HEIGHT / 2 - (q[1] - centre_y) * scale

    # the altitude along the horizontal distance flown
    distance = 0.0
    profile = []
    for line, line_local in zip(lines, local):
        for i, (point, q) in enumerate(zip(line, line_local)):
            if i > 0:
                distance += math.dist(q, line_local[i - 1])
            profile.append((distance, point[2]))
    low = min(p[1] for p in profile)
    high = max(p[1] for p in profile)
    profile_top = MAP_HEIGHT + 24
    plot_height = PROFILE_HEIGHT - 48

    def on_profile(d, altitude):
        x = MARGIN + (d / distance if distance > 0 else 0) * map_width
        y = profile_top + plot_height - (altitude - low) / max(high - low, 1e-9) * plot_height
        return x, y

    height = MAP_HEIGHT + PROFILE_HEIGHT + 8
    out = [
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{WIDTH}" height="{height}" '
        f'viewBox="0 0 {WIDTH} {height}" font-family="sans-serif" font-size="12">',
        f'<rect width="{WIDTH}" height="{height}" fill="#ffffff"/>',
        f'<rect x="0.5" y="0.5" width="{WIDTH - 1}" height="{MAP_HEIGHT - 1}" fill="#f4f1ea" stroke="#999999"/>',
        f'<text x="{MARGIN}" y="28" font-size="15" font-weight="bold">{escape(title)}</text>',
        f'<text x="{WIDTH - MARGIN}" y="28" text-anchor="end" fill="#555555">{len(segments)} segments, '
        f'{number(distance / 1000)} km, centre {lat0:.4f}\u00b0, {lon0:.4f}\u00b0</text>',
    ]
    for line in local:
        out.append(f'<path d="{path_data(on_map(q) for q in line)}" fill="none" stroke="{TRACK_COLOUR}" '
                   f'stroke-width="1.5" stroke-linejoin="round"/>')
    start_x, start_y = on_map(local[0][0])
    end_x, end_y = on_map(local[-1][-1])
    out.append(f'<circle cx="{number(start_x)}" cy="{number(start_y)}" r="5" fill="#2a9d3a"/>')
    out.append(f'<circle cx="{number(end_x)}" cy="{number(end_y)}" r="7" fill="none" stroke="#000000" '
               'stroke-width="2"/>')
    # legend, north arrow and scale bar
    legend_y = MAP_HEIGHT - 18
    out.append(f'<circle cx="{MARGIN}" cy="{legend_y - 4}" r="5" fill="#2a9d3a"/>')
    out.append(f'<text x="{MARGIN + 10}" y="{legend_y}">first segment</text>')
    out.append(f'<circle cx="{MARGIN + 120}" cy="{legend_y - 4}" r="6" fill="none" stroke="#000000" '
               'stroke-width="2"/>')
    out.append(f'<text x="{MARGIN + 131}" y="{legend_y}">last segment</text>')
    arrow_x = WIDTH - MARGIN
    out.append(f'<path d="M{arrow_x},52 L{arrow_x - 7},72 L{arrow_x},67 L{arrow_x + 7},72 Z" fill="#333333"/>')
    out.append(f'<text x="{arrow_x}" y="88" text-anchor="middle" font-weight="bold">N</text>')
    bar = nice_length(0.25 * map_width / scale)
    bar_pixels = bar * scale
    bar_x = WIDTH - MARGIN - bar_pixels
    out.append(f'<path d="M{number(bar_x)},{legend_y - 8} v6 h{number(bar_pixels)} v-6" fill="none" '
               'stroke="#333333" stroke-width="1.5"/>')
    bar_text = f"{bar / 1000:g} km" if bar >= 1000 else f"{bar:g} m"
    out.append(f'<text x="{number(bar_x + bar_pixels / 2)}" y="{legend_y + 12}" text-anchor="middle">'
               f'{bar_text}</text>')
    # altitude profile
    out.append(f'<text x="{MARGIN}" y="{profile_top - 6}" fill="#555555">altitude as logged, along the '
               'horizontal distance flown</text>')
    out.append(f'<path d="M{MARGIN},{profile_top} v{plot_height} h{map_width}" fill="none" stroke="#999999"/>')
    out.append(f'<path d="{path_data(on_profile(d, a) for d, a in profile)}" fill="none" '
               f'stroke="{TRACK_COLOUR}" stroke-width="1.2" stroke-linejoin="round"/>')
    out.append(f'<text x="{MARGIN - 6}" y="{profile_top + 4}" text-anchor="end">{number(high)}</text>')
    out.append(f'<text x="{MARGIN - 6}" y="{profile_top + plot_height + 4}" text-anchor="end">'
               f'{number(low)}</text>')
    out.append(f'<text x="{MARGIN}" y="{profile_top + plot_height + 18}">0 km</text>')
    out.append(f'<text x="{WIDTH - MARGIN}" y="{profile_top + plot_height + 18}" text-anchor="end">'
               f'{number(distance / 1000)} km</text>')
    out.append("</svg>")
    return "\n".join(out) + "\n"


def escape(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("kml")
    parser.add_argument("svg")
    parser.add_argument("--title", help="the heading of the picture (default: the KML file's name)")
    options = parser.parse_args()
    segments = read_segments(options.kml)
    if not segments:
        sys.exit(f"{options.kml}: no track to draw (the document has no coordinates)")
    picture = draw(segments, options.title or options.kml.rsplit("/", 1)[-1])
    with open(options.svg, "w", encoding="utf-8", newline="\n") as out:
        out.write(picture)


if __name__ == "__main__":
    main()
