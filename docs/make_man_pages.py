#!/usr/bin/env python3
"""Builds the manual pages vantry(1) and vantry-host(1) from docs/CLI.md.

The guide is the one source: vantry(1) is the whole guide except its "vantry-host" section,
which becomes vantry-host(1). Only the Markdown the guide uses is understood: headings,
paragraphs, bullet lists, tables, fenced blocks, `code`, **bold** and links.

Usage: make_man_pages.py GUIDE OUTPUT_FOLDER
"""
import os
import re
import sys

VERSION = "Vantry CLI 1.0"
HOST_SECTION = "vantry-host"


def escape(text):
    """Escapes text for groff: backslashes, and characters outside ASCII by code point."""
    text = text.replace("\\", "\\e")
    return "".join(c if ord(c) < 128 else "\\[u%04X]" % ord(c) for c in text)


def code(text):
    """Literal text: escaped, with hyphens as real minus signs so options can be copied."""
    return escape(text).replace("-", "\\-")


def inline(text):
    """Renders one line of Markdown prose."""
    out = []
    # `code`, **bold** and [text](target), left to right.
    for piece in re.split(r"(`[^`]*`|\*\*[^*]+\*\*|\[[^\]]+\]\([^)]+\))", text):
        if not piece:
            continue
        if piece.startswith("`") and piece.endswith("`") and len(piece) >= 2:
            out.append("\\fB" + code(piece[1:-1]) + "\\fR")
        elif piece.startswith("**"):
            out.append("\\fB" + inline(piece[2:-2]) + "\\fR")
        elif piece.startswith("["):
            label, target = re.fullmatch(r"\[([^\]]+)\]\(([^)]+)\)", piece).groups()
            out.append(inline(label))
            if not target.startswith("#"):
                out.append(" <" + escape(target) + ">")
        else:
            out.append(escape(piece))
    return "".join(out)


def line(text):
    """A text line that groff will not read as a request."""
    return "\\&" + text if text.startswith((".", "'")) else text


def table_cells(row):
    row = row.strip()
    row = row[1:] if row.startswith("|") else row
    row = row[:-1] if row.endswith("|") and not row.endswith("\\|") else row
    cells = re.split(r"(?<!\\)\|", row)
    return [cell.strip().replace("\\|", "|") for cell in cells]


def render_table(rows):
    """Tables become tagged paragraphs: the first cell is the tag, the others its text."""
    header = table_cells(rows[0])
    out = []
    for row in rows[2:]:
        cells = table_cells(row)
        out.append(".TP")
        out.append(line(inline(cells[0]) or "\\&"))
        rest = [(header[i] if i < len(header) else "", cell) for i, cell in enumerate(cells) if i > 0 and cell]
        for n, (title, cell) in enumerate(rest):
            if n:
                out.append(".br")
            text = inline(cell)
            out.append(line(text if len(header) <= 2 else inline(title) + ": " + text))
    return out


def render(lines):
    """Renders a run of Markdown lines (no level-1 or level-2 headings) as man body text."""
    out = []
    i = 0
    paragraph = []

    def flush():
        if paragraph:
            out.append(".PP")
            # Joined first: a `code` span may run across a line break of the source.
            out.append(line(inline(" ".join(paragraph))))
            paragraph.clear()

    while i < len(lines):
        text = lines[i]
        if text.startswith("```"):
            flush()
            info = text[3:].split()
            end = i + 1
            while end < len(lines) and lines[end] != "```":
                end += 1
            name = [w[5:] for w in info[1:] if w.startswith("file=")]
            if name:
                out.append(".PP")
                out.append(line(inline("The file `%s`:" % name[0])))
            out.append(".PP")
            out.append(".RS 4")
            out.append(".nf")
            out.extend(line(code(body)) for body in lines[i + 1:end])
            out.append(".fi")
            out.append(".RE")
            i = end + 1
        elif text.startswith("### "):
            flush()
            out.append(".SS " + inline(text[4:]))
            i += 1
        elif text.startswith("|"):
            flush()
            end = i
            while end < len(lines) and lines[end].startswith("|"):
                end += 1
            out.extend(render_table(lines[i:end]))
            i = end
        elif text.startswith("- "):
            flush()
            item = [text[2:]]
            i += 1
            while i < len(lines) and lines[i].startswith("  ") and lines[i].strip():
                item.append(lines[i].strip())
                i += 1
            out.append(".IP \\(bu 2")
            out.append(line(inline(" ".join(item))))
        elif not text.strip():
            flush()
            i += 1
        else:
            paragraph.append(text)
            i += 1
    flush()
    return out


def sections(text):
    """Splits the guide into (title, lines) by level-2 heading; the first is the introduction."""
    result = [("", [])]
    fenced = False
    for text_line in text.split("\n"):
        if text_line.startswith("```"):
            fenced = not fenced
        if not fenced and text_line.startswith("## "):
            result.append((text_line[3:].strip(), []))
        elif not fenced and text_line.startswith("# "):
            continue
        else:
            result[-1][1].append(text_line)
    return result


def page(name, summary, synopsis, body, see_also):
    out = [
        '.\\" Generated from docs/CLI.md by docs/make_man_pages.py; edit the guide instead.',
        '.TH %s 1 "" "%s" "User Commands"' % (name.upper().replace("-", "\\-"), VERSION),
        ".SH NAME",
        "%s \\- %s" % (code(name), escape(summary)),
        ".SH SYNOPSIS",
        ".nf",
    ]
    out.extend(line(code(s)) for s in synopsis)
    out.append(".fi")
    out.extend(body)
    out.append(".SH SEE ALSO")
    out.append(", ".join("\\fB%s\\fR(1)" % code(other) for other in see_also))
    return "\n".join(out) + "\n"


def code_block(lines):
    """The first fenced block of a run of lines, and the lines without it."""
    start = next(i for i, text in enumerate(lines) if text.startswith("```"))
    end = next(i for i in range(start + 1, len(lines)) if lines[i] == "```")
    return lines[start + 1:end], lines[:start] + lines[end + 1:]


def build(guide_text):
    parts = sections(guide_text)
    intro_synopsis, intro = code_block(parts[0][1])
    vantry_body = [".SH DESCRIPTION"] + render(intro)
    host_body = []
    host_synopsis = []
    for title, lines in parts[1:]:
        if title == HOST_SECTION:
            host_synopsis, rest = code_block(lines)
            host_body = [".SH DESCRIPTION"] + render(rest)
        else:
            vantry_body += [".SH " + inline(title.upper())] + render(lines)
    return {
        "vantry.1": page("vantry", "command-line companion of the Vantry time-tracking and payroll app",
                         intro_synopsis, vantry_body, ["vantry-host"]),
        "vantry-host.1": page("vantry-host", "headless stand-in for the Vantry app, answering vantry",
                              host_synopsis, host_body, ["vantry"]),
    }


def main():
    guide, folder = sys.argv[1:3]
    with open(guide, encoding="utf-8") as f:
        pages = build(f.read())
    os.makedirs(folder, exist_ok=True)
    for name, content in pages.items():
        with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
            f.write(content)


if __name__ == "__main__":
    main()
