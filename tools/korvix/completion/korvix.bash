# Bash completion for korvix: commands, options, and after --name the names
# of the algorithms that the command line's user sees in its database.
#
# Commands and options are read from the tool's own help, so they are those
# of the korvix being completed (the first word: "korvix" on the PATH, or a
# path to a build).

# The commands listed under "Commands:" in the help of `korvix ARGS...`.
_korvix_commands() {
    "$@" --help 2>/dev/null | sed -n '/^Commands:$/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p'
}

# The options of `korvix ARGS...`, long and short.
_korvix_options() {
    "$@" --help 2>/dev/null |
        sed -n '/^Options:$/,/^$/s/^ *\(-[a-z], \)\{0,1\}\(--[a-z][a-z-]*\).*/\1\2/p' |
        tr -d ',' | tr ' ' '\n'
}

_korvix() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local tool=${COMP_WORDS[0]} i
    local -a command=("$tool")
    # The command and its subcommand come first on the line.
    for ((i = 1; i < COMP_CWORD && i < 3; i++)); do
        local word=${COMP_WORDS[i]}
        [[ $word == -* ]] && break
        _korvix_commands "${command[@]}" | grep -qxF -- "$word" || break
        command+=("$word")
    done

    if [[ ($prev == --name || $prev == -n) && ${command[*]:1} != "algorithms add" ]]; then
        # The names of this line's user in this line's database.
        local -a scope=()
        for ((i = 1; i < COMP_CWORD; i++)); do
            case ${COMP_WORDS[i]} in
                --db | --user) scope+=("${COMP_WORDS[i]}" "${COMP_WORDS[i + 1]}") ;;
                --admin) scope+=(--admin) ;;
            esac
        done
        local plain=${cur//\\/} name
        plain=${plain#[\"\']}
        COMPREPLY=()
        while IFS= read -r name; do
            [[ $name == "$plain"* ]] && COMPREPLY+=("$(printf '%q' "$name")")
        done < <("$tool" algorithms --names "${scope[@]}" 2>/dev/null)
        return
    fi
    case $prev in
        --db | --output | -o | --base | --clean | --mapping | --previous)
            COMPREPLY=($(compgen -f -- "$cur"))
            return
            ;;
        --algorithm | -a | --user | --owner | --to | --description | --threads | --map | \
            --delimiter | --verify | --format | -f | --input-format | --output-encoding | --id | \
            --survivor | --note)
            COMPREPLY=()
            return
            ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_korvix_options "${command[@]}")" -- "$cur"))
    elif ((${#command[@]} < 3)); then
        COMPREPLY=($(compgen -W "$(_korvix_commands "${command[@]}")" -- "$cur"))
    fi
}

complete -o default -F _korvix korvix
