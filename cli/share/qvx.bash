# bash completion for qvx: its commands, their options, and files.
_qvx()
{
    local cur=${COMP_WORDS[COMP_CWORD]} command= word
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        case $word in encrypt|decrypt|verify|info|shred) command=$word; break ;; esac
    done
    local options
    case $command in
        encrypt) options="-q --quiet --in-place -f --force --password-file -h --help" ;;
        decrypt) options="-q --quiet --in-place -f --force -o --output --password-file -h --help" ;;
        verify) options="-q --quiet --password-file -h --help" ;;
        info) options="-q --quiet -h --help" ;;
        shred) options="-q --quiet -y --yes -h --help" ;;
        *) COMPREPLY=($(compgen -W "encrypt decrypt verify info shred --version --help" -- "$cur")); return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -F _qvx qvx
