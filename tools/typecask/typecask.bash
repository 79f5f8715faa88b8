# bash completion for typecask(1): commands, subcommands, options and the
# installed TrueType families. Everything is read from the tool itself
# ("typecask --help", "typecask COMMAND --help", "typecask families"), so the
# completion knows what the installed tool knows.

# The families "typecask families" lists that start with the word being
# completed; spaces in names are escaped unless the word opened a quote.
_typecask_families() {
    local tool=$1 cur=$2 quote=
    case $cur in
        \"* | \'*) quote=${cur:0:1}; cur=${cur:1} ;;
        *) cur=${cur//\\ / } ;;
    esac
    local IFS=$'\n' family
    for family in $("$tool" families 2>/dev/null); do
        [[ $family == "$cur"* ]] || continue
        if [[ -n $quote ]]; then COMPREPLY+=("$family"); else COMPREPLY+=("${family// /\\ }"); fi
    done
}

_typecask() {
    local tool=${COMP_WORDS[0]} cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    COMPREPLY=()
    if ((COMP_CWORD == 1)); then
        local commands
        commands=$("$tool" --help 2>/dev/null | sed -n 's/^  \([a-z][a-z0-9-]*\) .*/\1/p')
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi

    local command=${COMP_WORDS[1]} help
    help=$("$tool" "$command" --help 2>/dev/null) || return
    # Words of the command's own usage lines ("typecask lz compress IN OUT")
    # or its subcommand list choose the second word.
    local subcommands
    subcommands=$(sed -n -e "s/^\(Usage:\)\{0,1\} *typecask $command \([a-z][a-z0-9-]*\).*/\2/p" \
                         -e '/^Subcommands:/,/^$/s/^  \([a-z][a-z0-9-]*\) .*/\1/p' <<<"$help")
    if ((COMP_CWORD == 2)) && [[ -n $subcommands && $cur != -* ]]; then
        COMPREPLY=($(compgen -W "$subcommands" -- "$cur"))
        return
    fi
    if [[ -n $subcommands && $command == designer ]] && ((COMP_CWORD > 2)); then
        help=$("$tool" "$command" "${COMP_WORDS[2]}" --help 2>/dev/null) || return
    fi

    case $prev in
        --choose) _typecask_families "$tool" "$cur"; return ;;
        -o | --output | --out | --sample | --screenshot | --fonts-to | --subset-text | --subset-form) return ;;
        --subset-ranges) return ;;  # a file or folder: bash's own completion
    esac
    if [[ $cur == -* ]]; then
        local options
        options=$(grep -oE -- '(^|[][ ,])--?[a-z][a-z-]*' <<<"$help" | sed 's/^[][ ,]//' | sort -u)
        COMPREPLY=($(compgen -W "$options --help" -- "$cur"))
        return
    fi
    # The family of "typecask embed FAMILY": the first word that is no option
    # and no option's value.
    if [[ $command == embed ]]; then
        local i words=0
        for ((i = 2; i < COMP_CWORD; i++)); do
            case ${COMP_WORDS[i]} in
                -o | --output | --subset-text | --subset-ranges | --subset-form) ((i++)) ;;
                -*) ;;
                *) ((words++)) ;;
            esac
        done
        ((words == 0)) && _typecask_families "$tool" "$cur"
    fi
}

complete -o default -F _typecask typecask
