"""Markdown of the guide (docs/CLI.md) as man(7) text.

Only the Markdown the guide uses is understood: headings, paragraphs, bullet lists, tables,
fenced blocks, `code`, **bold** and links.
"""
import re


def escape(text):
    """Escapes text for roff: backslashes, and characters outside ASCII by code point."""
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
    """A text line that roff will not read as a request."""
    return "\\&" + text if text.startswith((".", "'")) else text


def table_cells(row):
    row = row.strip()
    row = row[1:] if row.startswith("|") else row
    row = row[:-1] if row.endswith("|") and not row.endswith("\\|") else row
    cells = re.split(r"(?<!\\)\|", row)
    return [cell.strip().replace("\\|", "|") for cell in cells]


def table(rows):
    """A table's header and its rows, each a list of cells."""
    return table_cells(rows[0]), [table_cells(row) for row in rows[2:]]


def render_rows(header, rows):
    """Rows become tagged paragraphs: the first cell is the tag, the others its text (named by
    their column when there are several)."""
    out = []
    for cells in rows:
        out.append(".TP")
        out.append(line(inline(cells[0]) or "\\&"))
        rest = [(header[i] if i < len(header) else "", cell) for i, cell in enumerate(cells) if i > 0 and cell]
        if len(header) <= 2:
            out.append(line(" ".join(inline(cell) for _, cell in rest) or "\\&"))
        else:
            out.append(line(" ".join("%s: %s." % (inline(title), inline(cell).rstrip(".")) for title, cell in rest)
                            or "\\&"))
    return out


def code_block(body):
    """A fenced block, kept as it is."""
    return [".PP", ".RS 2", ".nf"] + [line(code(text)) for text in body] + [".fi", ".RE"]


def blocks(lines):
    """Splits Markdown lines into blocks: ("code", info, lines), ("table", header, rows),
    ("item", text), ("heading", text) and ("paragraph", text)."""
    result = []
    paragraph = []

    def flush():
        if paragraph:
            # Joined first: a `code` span may run across a line break of the source.
            result.append(("paragraph", " ".join(paragraph)))
            paragraph.clear()

    i = 0
    while i < len(lines):
        text = lines[i]
        if text.startswith("```"):
            flush()
            end = i + 1
            while end < len(lines) and lines[end] != "```":
                end += 1
            result.append(("code", text[3:].strip(), lines[i + 1:end]))
            i = end + 1
        elif text.startswith("#"):
            flush()
            result.append(("heading", text.lstrip("#").strip()))
            i += 1
        elif text.startswith("|"):
            flush()
            end = i
            while end < len(lines) and lines[end].startswith("|"):
                end += 1
            header, rows = table(lines[i:end])
            result.append(("table", header, rows))
            i = end
        elif text.startswith("- "):
            flush()
            item = [text[2:]]
            i += 1
            while i < len(lines) and lines[i].startswith("  ") and lines[i].strip():
                item.append(lines[i].strip())
                i += 1
            result.append(("item", " ".join(item)))
        elif not text.strip():
            flush()
            i += 1
        else:
            paragraph.append(text)
            i += 1
    flush()
    return result


def render(lines):
    """Renders a run of Markdown lines as man body text; level-3 headings become subsections."""
    return render_blocks(blocks(lines))


def render_blocks(found):
    """Renders blocks (as blocks() makes them) as man body text."""
    out = []
    for block in found:
        kind = block[0]
        if kind == "code":
            name = [w[5:] for w in block[1].split()[1:] if w.startswith("file=")]
            if name:
                out += [".PP", line(inline("The file `%s`:" % name[0]))]
            out += code_block(block[2])
        elif kind == "heading":
            out.append(".SS " + inline(block[1]))
        elif kind == "table":
            out += render_rows(block[1], block[2])
        elif kind == "item":
            out += [".IP \\(bu 2", line(inline(block[1]))]
        else:
            out += [".PP", line(inline(block[1]))]
    return tidy(out)


def tidy(out):
    """Drops a paragraph break where a heading already breaks, as man(7) wants."""
    result = []
    for text in out:
        if text == ".PP" and result and result[-1].startswith((".SH", ".SS")):
            continue
        result.append(text)
    return result


def sections(text, level):
    """Splits Markdown into (title, lines) at headings of `level` ("##" or "###") outside fenced
    blocks; the first is what comes before the first such heading. Level-1 headings are dropped."""
    marker = "#" * level + " "
    result = [("", [])]
    fenced = False
    for text_line in text.split("\n"):
        if text_line.startswith("```"):
            fenced = not fenced
        if not fenced and text_line.startswith(marker):
            result.append((text_line[len(marker):].strip(), []))
        elif not fenced and text_line.startswith("# "):
            continue
        else:
            result[-1][1].append(text_line)
    return result
