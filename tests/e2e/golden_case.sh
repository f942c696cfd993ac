# Sourced by the end-to-end scripts: lays out the inputs of a golden case.
#   copy_case_inputs CASE_DIR RUN_DIR
# copies every file of the case but its command and expectations into RUN_DIR (made when
# missing) and makes the empty folders its "dirs" file lists.
copy_case_inputs() {
  local case_dir=$1 run_dir=$2 entry
  mkdir -p "$run_dir"
  for entry in "$case_dir"/*; do
    case $(basename "$entry") in
      cmd | expected_stdout.txt | expected_exit_code.txt | expected.amb | preexisting.amb | dirs) ;;
      *) cp -R "$entry" "$run_dir/" ;;
    esac
  done
  if [[ -f $case_dir/dirs ]]; then
    local folder
    while read -r folder; do
      [[ -n $folder ]] && mkdir -p "$run_dir/$folder"
    done <"$case_dir/dirs"
  fi
  return 0
}
