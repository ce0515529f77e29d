# Bash completion for zuk. Commands and options are read from zuk's own help,
# so they never fall behind the tool.
_zuk()
{
    local current=${COMP_WORDS[COMP_CWORD]}
    if [ "$COMP_CWORD" -eq 1 ]; then
        local commands
        commands=$("$1" --help 2>/dev/null | sed -n '/^commands:/,/^$/s/^  \([a-z0-9-]*\).*/\1/p')
        mapfile -t COMPREPLY < <(compgen -W "$commands --help --version" -- "$current")
        return
    fi
    if [[ $current == -* ]]; then
        local options
        options=$("$1" "${COMP_WORDS[1]}" --help 2>/dev/null | grep -o -- '--[a-z0-9-]*' | sort -u)
        mapfile -t COMPREPLY < <(compgen -W "$options --help --quiet --verbose" -- "$current")
        return
    fi
    mapfile -t COMPREPLY < <(compgen -f -- "$current")
    compopt -o filenames 2>/dev/null
}
complete -F _zuk zuk
