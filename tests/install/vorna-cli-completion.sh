#!/usr/bin/env bash
# The bash completion of vorna-cli, driven as bash drives it (COMP_WORDS, COMP_CWORD, then the
# function `complete -p` names): folders after the options that take one, the image types after
# -f, each option once (--vary, which may be repeated, again), scripts elsewhere. Run without the
# bash-completion package, and with it when it is installed.
#   vorna-cli-completion.sh VORNA_CLI COMPLETION_FILE
set -uo pipefail
cli=$(realpath "$1") completion=$(realpath "$2")
fail() { echo "FAIL: $*" >&2; failed=1; }
failed=0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir outdir other
touch spots.vna notes.txt

# Completes the words given, the last being the one under the cursor, and prints the offers
# sorted, one a line.
offers() {
    COMP_WORDS=("$cli" "$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    "$function" vorna-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}" 2>/dev/null
    printf '%s\n' "${COMPREPLY[@]}" | sed 's:/$::' | sort | grep -v '^$'
}
expect() {
    local want=$1
    shift
    local got
    got=$(offers "$@" | tr '\n' ' ')
    [[ $got == "$want" ]] || fail "[$mode] vorna-cli $*<TAB>: got '$got', want '$want'"
}
has() {  # has yes|no OPTION WORDS...: whether OPTION is offered
    local yes=$1 option=$2
    shift 2
    local got
    got=$(offers "$@")
    if grep -qx -- "$option" <<<"$got"; then
        [[ $yes == yes ]] || fail "[$mode] vorna-cli $*<TAB> offers $option again"
    else
        [[ $yes == no ]] || fail "[$mode] vorna-cli $*<TAB> does not offer $option"
    fi
}

check() {
    function=$(complete -p vorna-cli | sed -n 's/.*-F \([^ ]*\) .*/\1/p')
    [[ -n $function ]] || { fail "[$mode] no completion function for vorna-cli"; return; }
    # Folders after the options that take one, in every spelling bash hands over.
    expect "other outdir " -o ""
    expect "outdir " --out ou
    expect "other outdir " --out = ""
    expect "outdir " --contact-sheet = ou
    expect "outdir " -q --contact-sheet ou
    # The image types after -f.
    expect "bmp png tga " -f ""
    expect "png " --format = p
    # Movies after --movie: the movie files of a run, the types of a sweep.
    touch clip.mp4
    expect "clip.mp4 other outdir " --movie ""
    expect "mp4 " --vary 'modpar beta 6,7' --movie m
    rm clip.mp4
    # A value that is a number or a line: nothing to offer, no script.
    expect "" --seed ""
    expect "" --vary ""
    # Scripts (and folders to reach them) where the script goes.
    expect "other outdir spots.vna " ""
    expect "other outdir spots.vna " -q ""
    # Each option once.
    has yes --quiet --
    has no --quiet -q --
    has no --quiet --quiet --
    has no --out= -o outdir --
    has no --out= --out = outdir --
    has no --seed= --seed = 5 --
    has no --randomize -qr --
    has yes --threads= -qr --
    has yes --vary= --vary 'modpar beta 6,7' --
    has yes --normal --
    has no --contact-sheet= --contact-sheet outdir --
}

mode=plain
# shellcheck source=/dev/null
source "$completion"
check
# The same through the bash-completion package, whose _filedir the completion then uses.
for library in /usr/share/bash-completion/bash_completion; do
    [[ -r $library ]] || continue
    mode=bash-completion
    # shellcheck source=/dev/null
    source "$library" >/dev/null 2>&1
    source "$completion"
    check
done
exit $failed
