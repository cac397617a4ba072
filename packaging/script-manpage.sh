#!/bin/bash
# Makes vorna(5), the manual page of the script format, from the README's "Writing a script"
# section (Markdown through go-md2man), so that the page and the README say the same.
# Usage: script-manpage.sh README.md VERSION OUTPUT.5
set -euo pipefail
readme=$1 version=$2 output=$3

{
    printf '%% VORNA 5 "" "Vorna %s" "File Formats"\n\n' "$version"
    printf '# NAME\n\nvorna - the parameter scripts of Vorna (.vna files)\n\n'
    printf '# SYNOPSIS\n\n*SCRIPT*.vna\n\n'
    printf '# DESCRIPTION\n\n'
    printf 'A Vorna script describes a reaction-diffusion texture: the model, its parameters, '
    printf 'the field, the run and the images. vorna(1) edits and runs scripts, vorna-cli(1) '
    printf 'runs them from the command line.\n\n'
    # The section's body up to the next top-level heading; its subsections become sections,
    # and links into the README become their text.
    # A table too wide for a terminal becomes a list: a row's first cell, then the others named
    # by their column.
    sed -n '/^## Writing a script$/,/^## /p' "$readme" | sed -e '1d' -e '/^## /,$d' |
        sed -E -e 's/^### (.*)$/# \U\1/' -e 's/\[([^]]*)\]\([^)]*\)/\1/g' -e 's/\\\|/\x01/g' |
        awk -F ' *\\| *' '
            !/^\|/ { row = 0; print; next }
            { ++row }
            row == 1 { for (i = 2; i < NF; ++i) head[i] = $i; next }
            row == 2 { next }
            {
                line = "- " $2
                sep = ": "
                for (i = 3; i < NF; ++i) {
                    if ($i == "") continue
                    line = line sep head[i] " " $i
                    sep = "; "
                }
                print line
            }' | sed -e 's/\x01/|/g'
    printf '\n# SEE ALSO\n\nvorna(1), vorna-cli(1)\n'
} | go-md2man > "$output.tmp"
mv "$output.tmp" "$output"
