# bash completion for mediatool: commands, each command's options, and
# files or folders where an option or operand names one.
_mediatool()
{
    local cur prev words cword
    _init_completion 2>/dev/null || {
        cur=${COMP_WORDS[COMP_CWORD]}
        prev=${COMP_WORDS[COMP_CWORD-1]}
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
    }
    local commands="pack list unpack verify stamp check-stamp assemble help"
    if [[ $cword -eq 1 ]]; then
        COMPREPLY=($(compgen -W "$commands -V --version --help" -- "$cur"))
        return
    fi
    local command=${words[1]} opts
    case $command in
        pack) opts="--output --codepage --manifest --skip-empty-dirs" ;;
        list) opts="--json --codepage" ;;
        unpack) opts="--output --codepage" ;;
        verify) opts="--against --manifest --codepage --strict --expect-signer --trust" ;;
        stamp) opts="--append" ;;
        check-stamp) opts="" ;;
        assemble) opts="--payload --setup --output --out --ini --splash --icon --runtime
                        --placeholder-runtime --replace --skip-empty-dirs --strict --codepage --sign
                        --sign-password-file --timestamp-url --sign-time" ;;
        help)
            [[ $cword -eq 2 ]] && COMPREPLY=($(compgen -W "${commands% help}" -- "$cur"))
            return ;;
        *) return ;;
    esac
    case $prev in
        --codepage)
            COMPREPLY=($(compgen -W "437 850 852 866 874 932 936 949 950 1250 1251 1252 1253 1254 1255 1256 1257 1258" -- "$cur"))
            return ;;
        --payload|--runtime|--against|--out)
            COMPREPLY=($(compgen -d -- "$cur"))
            return ;;
        -o|--output)
            if [[ $command == assemble || $command == unpack ]]; then COMPREPLY=($(compgen -d -- "$cur"))
            else COMPREPLY=($(compgen -f -- "$cur")); fi
            return ;;
        --setup|--ini|--splash|--icon|--manifest|--sign|--sign-password-file|--trust)
            COMPREPLY=($(compgen -f -- "$cur"))
            return ;;
        --timestamp-url|--sign-time)
            return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$opts --quiet --help" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -o filenames -F _mediatool mediatool
