# bash completion for tavo. Stands alone (only compgen and compopt), so it
# works with or without the bash-completion package. It follows the way tavo
# reads its arguments: the first is the command word (or, alone, an archive
# to list); after it, the first argument not starting with - is the archive;
# then a base directory and file names.

_tavo_is_archive_name() {
  case "${1,,}" in
    *.lzh | *.lha | *.exe) return 0 ;;
  esac
  return 1
}

# Archive names (any letter case) and directories to look into.
_tavo_archives() {
  local cur="$1" name
  while IFS= read -r name; do
    if [[ -d "$name" ]] || _tavo_is_archive_name "$name"; then COMPREPLY+=("$name"); fi
  done < <(compgen -f -- "$cur")
}

_tavo() {
  local cur="${COMP_WORDS[COMP_CWORD]}"
  COMPREPLY=()
  compopt -o filenames 2>/dev/null

  if ((COMP_CWORD == 1)); then
    if [[ -z "$cur" ]]; then
      COMPREPLY=(a u f m d p e x l v s t)
    elif [[ "$cur" == [aufmdpexlvstAUFMDPEXLVST] ]]; then
      COMPREPLY=("$cur")
    fi
    _tavo_archives "$cur"
    return 0
  fi

  case "$cur" in
    -w?*)
      local directory
      while IFS= read -r directory; do COMPREPLY+=("-w$directory"); done < <(compgen -d -- "${cur#-w}")
      return 0
      ;;
    -*)
      compopt +o filenames 2>/dev/null
      COMPREPLY=($(compgen -W "-a -c -d -f -h0 -h1 -h2 -i -l -m -n -o -o5 -o6 -o7 -p -r -r2 -s -t -w -x -x- -z --" -- "$cur"))
      # -w takes its directory in the same word: no blank after it.
      if [[ "${COMPREPLY[*]}" == -w ]]; then compopt -o nospace 2>/dev/null; fi
      return 0
      ;;
  esac

  local i
  for ((i = 2; i < COMP_CWORD; ++i)); do
    if [[ "${COMP_WORDS[i]}" != -* ]]; then
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return 0
    fi
  done
  _tavo_archives "$cur"
  return 0
}

complete -F _tavo tavo
