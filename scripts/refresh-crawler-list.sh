#!/usr/bin/env bash
# Replaces the shipped crawler list (data/crawler-user-agents/) with the latest version of the
# npm package crawler-user-agents, or the one given, and says what changed. The build compiles
# the list in; rebuild and run scripts/test.sh after a refresh: the tests check every pattern,
# name, tag and example of the new list.
#   scripts/refresh-crawler-list.sh [VERSION]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh refresh
package=crawler-user-agents
wanted="$package@${1:-latest}"
dir=data/crawler-user-agents
work="$(mktemp -d /tmp/trawlmeter-crawler-list-XXXXXX)"
trap 'rm -rf "$work"' EXIT

tarball="$(npm pack --loglevel=error --pack-destination "$work" "$wanted")" ||
    { echo "npm could not fetch $wanted: nothing replaced" >&2; exit 1; }
tarball="$(tail -n 1 <<<"$tarball")"
tar -xzf "$work/$tarball" -C "$work"
fetched="$work/package"
for file in crawler-user-agents.json LICENSE package.json; do
    [[ -s "$fetched/$file" ]] || { echo "$wanted has no $file: nothing replaced" >&2; exit 1; }
done
version="$(node -p 'require(process.argv[1]).version' "$fetched/package.json")"
published="$(npm view --json "$package" time | node -p \
    'const t = JSON.parse(require("fs").readFileSync(0))[process.argv[1]]; t ? t.slice(0, 10) : "?"' \
    "$version")"

# Counts what the new list holds beside the old one; refuses a file that is no list of patterns.
summary="$(node - "$dir/crawler-user-agents.json" "$fetched/crawler-user-agents.json" <<'EOF'
const fs = require("fs");
const read = (path) => (fs.existsSync(path) ? JSON.parse(fs.readFileSync(path, "utf8")) : []);
const [oldPath, newPath] = process.argv.slice(2);
const before = read(oldPath);
const after = read(newPath);
if (!Array.isArray(after) || after.some((e) => typeof e?.pattern !== "string" || e.pattern === "")) {
    console.error("the new list is not an array of entries with a pattern");
    process.exit(1);
}
const patterns = (list) => new Set(list.map((e) => e.pattern));
const [was, is] = [patterns(before), patterns(after)];
const added = [...is].filter((p) => !was.has(p)).length;
const gone = [...was].filter((p) => !is.has(p)).length;
const tags = {};
for (const e of after) for (const t of e.tags ?? ["(none)"]) tags[t] = (tags[t] ?? 0) + 1;
console.log(`entries: ${before.length} -> ${after.length} (${added} patterns new, ${gone} gone)`);
console.log("tags: " + Object.entries(tags).sort((a, b) => b[1] - a[1])
    .map(([t, n]) => `${t} ${n}`).join(", "));
EOF
)"
old_version="$(cat "$dir/VERSION" 2>/dev/null || echo none)"

mkdir -p "$dir"
cp "$fetched/crawler-user-agents.json" "$fetched/LICENSE" "$dir/"
echo "$version" >"$dir/VERSION"
cat >"$dir/README.md" <<EOF
# The list of known crawlers

\`crawler-user-agents.json\` and its \`LICENSE\` (MIT) are the npm package \`$package\`, version
$version (published $published), taken unchanged on $(date -u +%Y-%m-%d) by
\`scripts/refresh-crawler-list.sh\`, which fetches a newer version the same way (\`npm pack\`)
and replaces these files. \`VERSION\` holds the version; the build compiles the list and its
version in (\`src/crawlers/\`).
EOF
echo "$package: $old_version -> $version (published $published)"
echo "$summary"
