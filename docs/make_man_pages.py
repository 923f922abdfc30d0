#!/usr/bin/env python3
"""Builds the manual pages vantry(1), vantry-host(1) and vantry-mcp(1).

Nothing in them is typed twice: the commands and their options come from the command table
(as man_command_table writes it), everything else from sections of the guide, docs/CLI.md.
The walkthrough itself, with its examples, stays in the guide (installed beside the pages).

Usage: make_man_pages.py --version V --guide CLI.md --table TABLE.json --output FOLDER
                         [--dated FILE...]
"""
import argparse
import datetime
import json
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from markdown_roff import (blocks, code, code_block, escape, inline, line, render, render_blocks,  # noqa: E402
                           render_rows, sections, tidy)

# The guide's sections each page takes.
HOST = "vantry-host"
MCP = "vantry-mcp"
MCP_SECTION = "Using vantry-mcp from an agent client"
FILES_AND_ENVIRONMENT = "Files and environment"
# The named groups of options in the command table, as the page calls them (FIELDS and
# SELECTION hold their options).
GROUPS = {
    "job": "job fields",
    "entry": "entry fields",
    "filter": "saved view fields",
    "preferences": "preference fields",
    "selection": "selection",
}


class GuideError(Exception):
    """The guide lacks what a page needs."""


def section(parts, title):
    for name, lines in parts:
        if name == title:
            return lines
    raise GuideError("The guide has no section %r." % title)


def first(found, kind, where):
    for block in found:
        if block[0] == kind:
            return block
    raise GuideError("The guide's %s has no %s." % (where, kind))


def synopsis(lines):
    """Each line of a fenced block as a synopsis, wrapped with a hanging indent."""
    out = []
    for text in lines:
        name, _, rest = text.partition(" ")
        out += [".SY " + code(name)] + ([line(code(rest))] if rest else []) + [".YS"]
    return out


def option_name(cell):
    found = re.search(r"--([a-z][a-z-]*)", cell)
    return found.group(1) if found else ""


def option_piece(option, choices):
    """An option in brackets, with its values when it takes one of a few."""
    values = " " + "|".join(code(choice) for choice in choices) if choices else ""
    return "[\\fB\\-\\-%s\\fR%s]" % (code(option), values)


def command_line(command):
    """One command with its operands and options, as one synopsis."""
    words = command["words"].split(" ")
    pieces = [code(w) for w in words[1:]]
    pieces += ["\\fI%s\\fR" % code(operand) for operand in command["operands"]]
    pieces += ["[\\fI%s\\fR]" % escape(GROUPS[group]) for group in command["groups"]]
    pieces += [option_piece(option, command["choices"].get(option)) for option in command["options"]]
    return [".SY " + code(words[0])] + ([line(" ".join(pieces))] if pieces else []) + [".YS"]


def command_lines(commands):
    """The commands one under the other, each a synopsis."""
    out = [".sp", ".PD 0"]
    for command in commands:
        out += command_line(command)
    return out + [".PD"]


def commands_section(parts, table):
    local = section(parts, "Local commands")
    _, header, rows = first(blocks(local), "table", "Local commands")
    out = [".SH COMMANDS", ".SS Local commands", "These are answered by \\fBvantry\\fR itself."]
    out += render_rows(header, rows)
    out += [".SS Commands sent to the app",
            "Each of these is sent to the app, which carries it out. A word in capitals is an operand: "
            "the value of the option of its name (\\fBjobs show\\fR \\fIID\\fR is \\fBjobs show \\-\\-id\\fR "
            "\\fIID\\fR). Every option takes a value (\\fB\\-\\-\\fR\\fIname value\\fR or "
            "\\fB\\-\\-\\fR\\fIname\\fR\\fB=\\fR\\fIvalue\\fR); the record fields are the options of FIELDS, "
            "the selection those of SELECTION. Any command is also sent by its dotted name: "
            "\\fBvantry command\\fR \\fIname\\fR \\fB\\-\\-%s\\fR \\fIpath\\fR." % code(table["argumentsFileOption"])]
    engine = [c for c in table["commands"] if not c["app"]]
    app = [c for c in table["commands"] if c["app"]]
    out += command_lines(engine)
    out += [".SS App controls",
            "Carried out by the app itself; \\fBvantry\\-host\\fR(1) answers only some of them."]
    out += command_lines(app)
    return out


def options_sections(parts, table):
    """The guide's common options: the global ones, then those several commands share."""
    global_names = {option["name"] for option in table["globalOptions"]}
    found = blocks(section(parts, "Common options"))
    _, header, rows = first(found, "table", "Common options")
    out = [".SH GLOBAL OPTIONS"]
    out += render_rows(header, [row for row in rows if option_name(row[0]) in global_names])
    after = found[found.index(first(found, "table", "Common options")) + 1:]
    out += render_blocks([block for block in after if block[0] == "paragraph"])
    out += [".SS Options of several commands"]
    out += render_rows(header, [row for row in rows if option_name(row[0]) not in global_names])
    return tidy(out)


def output_sections(parts):
    """The guide's output section without its examples; its exit status table apart."""
    out = [".SH OUTPUT"]
    status = []
    for block in blocks(section(parts, "Output and exit status")):
        if block[0] == "code":
            continue
        if block[0] == "table" and block[1][0] == "Exit status":
            status = [".SH EXIT STATUS"] + render_rows(block[1], block[2])
        elif block[0] == "table":
            out += render_rows(block[1], block[2])
        else:
            out += [".PP", line(inline(block[1]))]
    if not status:
        raise GuideError("The guide's output section has no exit status table.")
    return tidy(out + status)


def files_and_environment(parts, program):
    """The rows of the guide's table that concern `program`: the variables, then the files."""
    _, header, rows = first(blocks(section(parts, FILES_AND_ENVIRONMENT)), "table", FILES_AND_ENVIRONMENT)
    used_by = header.index("Used by")
    mine = [[cell for i, cell in enumerate(row) if i != used_by] for row in rows
            if row[used_by] == "both" or row[used_by] == "`%s`" % program]
    header = [cell for i, cell in enumerate(header) if i != used_by]
    variables = [row for row in mine if re.fullmatch(r"`[A-Z_]+`", row[0])]
    files = [row for row in mine if row not in variables]
    return [".SH ENVIRONMENT"] + render_rows(header, variables) + [".SH FILES"] + render_rows(header, files)


def examples(parts, titles):
    """The shell blocks of those sections, each after the paragraph that leads to it."""
    out = [".SH EXAMPLES"]
    for title in titles:
        found = blocks(section(parts, title))
        for i, block in enumerate(found):
            if block[0] == "code" and block[1] == "sh":
                if i and found[i - 1][0] == "paragraph":
                    out += [".PP", line(inline(found[i - 1][1]))]
                out += code_block(block[2])
    return tidy(out)


def header(name, summary, version, date):
    return [
        '.\\" Generated by docs/make_man_pages.py from the command table and docs/CLI.md; edit those.',
        # No hyphenation (options and JSON are copied from the page) and no stretched spaces.
        ".nr HY 0",
        '.TH %s 1 %s "Vantry CLI %s" "User Commands"' % (code(name.upper()), date, escape(version)),
        ".ad l",
        ".SH NAME",
        "%s \\- %s" % (code(name), escape(summary)),
    ]


def see_also(pages, guide_note=True):
    out = [".SH SEE ALSO", ", ".join("\\fB%s\\fR(%s)" % (code(name), section) for name, section in pages)]
    if guide_note:
        out += [".PP", "The guide, \\fBCLI.md\\fR, shows every command with a worked example and its answer; "
                "it is installed in \\fBshare/doc/vantry\\fR under the installation prefix, and "
                "\\fBvantry docs\\fR prints its address on the web."]
    return out


def vantry_page(parts, table, version, date):
    intro = blocks(parts[0][1])
    out = header("vantry", "command-line companion of the Vantry time-tracking and payroll app", version, date)
    out += [".SH SYNOPSIS"] + synopsis(first(intro, "code", "introduction")[2])
    out += [".SH DESCRIPTION", line(inline(first(intro, "paragraph", "introduction")[1]))]
    out += commands_section(parts, table)
    out += options_sections(parts, table)
    out += [".SH FIELDS"] + render(section(parts, "Fields"))
    out += [".SH SELECTION"] + render(section(parts, "Selection, ranges and the reporting time zone"))
    out += output_sections(parts)
    out += [".SH DIAGNOSTICS"] + render(section(parts, "Failure codes"))
    out += files_and_environment(parts, "vantry")
    out += examples(parts, ["Getting started", "Timeouts and replays"])
    out += see_also([(HOST, 1)])
    return "\n".join(tidy(out)) + "\n"


def program_page(parts, title, name, summary, version, date):
    """The opening of a program's page made from its own guide section: its header, the
    synopsis from the section's first code block and the description from the rest of its
    opening text; with the section's subsections, which the page's other sections come from."""
    subsections = sections("\n".join(section(parts, title)), 3)
    found = blocks(subsections[0][1])
    out = header(name, summary, version, date)
    out += [".SH SYNOPSIS"] + synopsis(first(found, "code", title)[2])
    out += [".SH DESCRIPTION"] + render_blocks([block for block in found if block[0] != "code"])
    return subsections, out


def host_page(parts, version, date):
    subsections, out = program_page(parts, HOST, HOST, "headless stand-in for the Vantry app, answering vantry",
                                    version, date)
    for title, name in [("Options", "OPTIONS"), ("Signals", "SIGNALS"), ("Exit status", "EXIT STATUS")]:
        out += [".SH " + name] + render(section(subsections, title))
    out += files_and_environment(parts, HOST)
    out += [".SH NOTES"]
    for title in ["Reminders", "Running the host as a service"]:
        out += [".SS " + inline(title)] + render(section(subsections, title))
    out += see_also([("vantry", 1), ("systemctl", 1), ("journalctl", 1)])
    return "\n".join(tidy(out)) + "\n"


def mcp_page(parts, version, date):
    subsections, out = program_page(parts, MCP_SECTION, MCP,
                                    "the Vantry commands as Model Context Protocol tools for agent clients",
                                    version, date)
    for title, name in [("Options", "OPTIONS"), ("Tools", "TOOLS"), ("Results and failures", "RESULTS"),
                        ("Resources", "RESOURCES"), ("Bad input", "DIAGNOSTICS"), ("Exit status", "EXIT STATUS")]:
        # The worked example is the guide's; its lines are wider than a page.
        kept = [block for block in blocks(section(subsections, title)) if block[0] != "code"]
        out += [".SH " + name] + render_blocks(kept)
    out += files_and_environment(parts, MCP)
    out += [".SH EXAMPLES"] + render(section(subsections, "Configuring a client"))
    out += see_also([("vantry", 1), (HOST, 1)])
    return "\n".join(tidy(out)) + "\n"


def build(guide_text, table, version, date):
    parts = sections(guide_text, 2)
    return {"vantry.1": vantry_page(parts, table, version, date), "vantry-host.1": host_page(parts, version, date),
            "vantry-mcp.1": mcp_page(parts, version, date)}


def page_date(dated):
    """SOURCE_DATE_EPOCH when set (reproducible builds), else the newest change of the sources."""
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    seconds = int(epoch) if epoch else max(os.stat(path).st_mtime for path in dated)
    return datetime.datetime.fromtimestamp(seconds, datetime.timezone.utc).strftime("%Y-%m-%d")


def main():
    parser = argparse.ArgumentParser(description="Builds vantry(1), vantry-host(1) and vantry-mcp(1).")
    parser.add_argument("--version", required=True)
    parser.add_argument("--guide", required=True)
    parser.add_argument("--table", required=True)
    parser.add_argument("--output", required=True)
    parser.add_argument("--dated", nargs="*", default=[])
    options = parser.parse_args()
    with open(options.guide, encoding="utf-8") as f:
        guide = f.read()
    with open(options.table, encoding="utf-8") as f:
        table = json.load(f)
    try:
        pages = build(guide, table, options.version, page_date([options.guide] + options.dated))
    except GuideError as error:
        sys.exit("make_man_pages.py: %s" % error)
    os.makedirs(options.output, exist_ok=True)
    for name, content in pages.items():
        with open(os.path.join(options.output, name), "w", encoding="utf-8") as f:
            f.write(content)


if __name__ == "__main__":
    main()
