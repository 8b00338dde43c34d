#!/bin/bash
# Reads the control's RTF files (written by wrx_tests into DIR) with pandoc
# and unrtf: every paragraph text the control holds must come out of pandoc,
# and every ASCII one out of unrtf (white space folded in both).
# Exit 77 (skipped) when neither reader is installed.
dir=${1:?usage: check_rtf_external.sh DIR}
have_pandoc=$(command -v pandoc)
have_unrtf=$(command -v unrtf)
[ -z "$have_pandoc$have_unrtf" ] && { echo "neither pandoc nor unrtf is installed"; exit 77; }
shopt -s nullglob
files=("$dir"/*.rtf)
[ ${#files[@]} -gt 0 ] || { echo "no RTF files in $dir (did wrx_tests run?)"; exit 1; }
fold() { tr '\t\r\n' '   ' | tr -s ' '; }
failed=0
for rtf in "${files[@]}"; do
  expected=${rtf%.rtf}.txt
  if [ -n "$have_pandoc" ]; then
    got=$(pandoc -f rtf -t plain --wrap=none "$rtf" 2>&1 | fold)
    while IFS= read -r line; do
      [ -z "$line" ] && continue
      case " $got " in
        *"$line"*) ;;
        *) echo "pandoc: $(basename "$rtf"): missing \"$line\" in: $got"; failed=1 ;;
      esac
    done < "$expected"
  fi
  if [ -n "$have_unrtf" ]; then
    got=$(unrtf --text "$rtf" 2>/dev/null | grep -av '^###' | fold)
    while IFS= read -r line; do
      [ -z "$line" ] && continue
      LC_ALL=C grep -aq '[^ -~]' <<<"$line" && continue  # only ASCII paragraphs
      case " $got " in
        *"$line"*) ;;
        *) echo "unrtf: $(basename "$rtf"): missing \"$line\" in: $got"; failed=1 ;;
      esac
    done < "$expected"
  fi
done
[ $failed = 0 ] && echo "${#files[@]} files read by ${have_pandoc:+pandoc }${have_unrtf:+unrtf}"
exit $failed
