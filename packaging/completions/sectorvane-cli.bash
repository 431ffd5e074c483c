# bash completion for sectorvane-cli

_sectorvane_cli() {
    local cur prev words cword
    _init_completion || return

    local commands="dump convert dir extract read drives merge info map"
    local images='@(dmk|DMK|imd|IMD|td0|TD0|tdo|TDO|dsk|DSK|hfe|HFE|scp|SCP|img|IMG|ima|IMA)'
    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            -*) ;;
            *) command=${words[i]}; break ;;
        esac
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "--help --version" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
        return
    fi

    if [[ $prev == --geometry ]]; then
        COMPREPLY=($(compgen -W "77:1:26:256:fm0 77:2:26:256:fm0 77:1:26:128 77:2:26:128" -- "$cur"))
        return
    fi

    local options="--help"
    case $command in
        dump|convert) options+=" --geometry --side-log" ;;
        dir|info|map) options+=" --json --geometry --side-log" ;;
        extract) options+=" --raw --text --geometry --side-log" ;;
        merge) options+=" --force --side-log" ;;
        read|drives) ;;
        *) return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi

    # The position among the command's words (options left out) decides what comes next.
    local position=0
    for ((i = i + 1; i < cword; i++)); do
        case ${words[i]} in
            --geometry) ((i++)) ;;
            -*) ;;
            *) ((position++)) ;;
        esac
    done
    case $command in
        extract)
            if ((position == 1)); then
                _filedir -d
            elif ((position == 0)); then
                _filedir "$images"
            fi
            ;;
        read)
            if ((position == 0)); then
                COMPREPLY=($(compgen -W "A B" -- "$cur"))
            fi
            _filedir '@(dmk|DMK|dsk|DSK|hfe|HFE)'
            ;;
        drives) ;;
        convert)
            if ((position == 0)); then
                _filedir "$images"
            else
                _filedir '@(dmk|DMK|dsk|DSK|hfe|HFE|imd|IMD|img|IMG)'
            fi
            ;;
        merge)
            if ((position < 2)); then
                _filedir "$images"
            else
                _filedir '@(dmk|DMK|dsk|DSK|hfe|HFE|imd|IMD|img|IMG)'
            fi
            ;;
        *)
            if ((position == 0)); then
                _filedir "$images"
            fi
            ;;
    esac
} &&
    complete -F _sectorvane_cli sectorvane-cli
