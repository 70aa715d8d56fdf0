# bash completion for corvane-cli. What to offer is asked of the program itself
# (corvane-cli --complete WORDS... CURRENT), so a new command or option needs nothing here.
_comp_corvane_cli()
{
    local cur prev words cword split
    _init_completion -s || return

    local -a asked=("${words[@]:1:cword-1}")
    # --option=value: bash-completion has split it; the program reads it as two words.
    [[ $split == true ]] && asked+=("$prev")
    local IFS=$'\n'
    local -a offer
    offer=($("$1" --complete "${asked[@]}" "$cur" 2>/dev/null)) || return
    case ${offer[0]-} in
    @files) _filedir ;;
    @dirs) _filedir -d ;;
    *) COMPREPLY=($(compgen -W "${offer[*]}" -- "$cur")) ;;
    esac
}
complete -F _comp_corvane_cli corvane-cli
