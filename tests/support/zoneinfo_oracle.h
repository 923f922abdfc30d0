#pragma once
// Python's zoneinfo as an outside oracle for day starts: it reads the same operating-system
// zone files, applies their closing rules itself, and finds days its own way.
namespace pellam::testing {

// Python's zoneinfo, on the same operating-system data, finds each day's first instant its
// own way: the earliest instant whose local date is that day, piece by piece between the
// zone's offset changes.
inline constexpr const char* kZoneinfoOracle = R"PY(
import sys
from datetime import date, datetime, timezone
from zoneinfo import ZoneInfo

EPOCH = datetime(1970, 1, 1)

def offset(zone, t):
    return int(datetime.fromtimestamp(t, zone).utcoffset().total_seconds())

def first_instant(zone, day):
    midnight = int((datetime(day.year, day.month, day.day) - EPOCH).total_seconds())
    lo, hi = midnight - 30 * 3600, midnight + 30 * 3600
    points, t, before = [lo], lo, offset(zone, lo)
    while t < hi:
        n = min(t + 7200, hi)
        after = offset(zone, n)
        if after != before:
            a, b = t, n
            while b - a > 1:
                m = (a + b) // 2
                if offset(zone, m) == before:
                    a = m
                else:
                    b = m
            points.append(b)
        t, before = n, after
    points.append(hi)
    best = None
    for a, b in zip(points, points[1:]):
        o = offset(zone, a)
        s, e = max(a, midnight - o), min(b, midnight + 86400 - o)
        if s < e and (best is None or s < best):
            best = s
    return best

zones = {}
for line in sys.stdin.read().splitlines():
    name, day = line.split()
    zone = zones.setdefault(name, ZoneInfo(name))
    print(name, day, first_instant(zone, date.fromisoformat(day)))
)PY";

}  // namespace pellam::testing
