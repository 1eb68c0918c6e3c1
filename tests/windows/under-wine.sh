# What the tests that drive trawlmeter-batch.exe under Wine from the build machine share; sourced
# with WINE_RUN PROGRAM_DIR SAMPLES_DIR as the script's arguments and the sample it needs in
# $sample. Sets $work (removed at exit) with a copy of the program folder in $work/program.
wine_run="$1" program_dir="$2" samples="$3"
if [[ ! -e "$samples/$sample" ]]; then
    echo "no shared samples beside the project"
    exit 77
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/program"
cp "$program_dir"/trawlmeter-batch.exe "$program_dir"/rezOve.mdb "$program_dir"/*.json "$work/program/"

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
fail() {
    echo "FAIL: $*"
    echo "--- stdout"; cat "$work/out.txt"
    echo "--- stderr"; cat "$work/err.txt"
    exit 1
}
