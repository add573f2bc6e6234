# CII to local records over the generated file, against iconv over the same
# bytes; peak memory at two file sizes must stay flat and under 64 MB.
tool=build-bench/apps/cii-tool
"$bin" setup-db "$work/bench.sqlite"
rm -f "$work"/out*.LOC
read -r local peak < <(measure bash -c "rm -f $work/out*.LOC; $tool to-local --db sqlite:$work/bench.sqlite --in $cii --out $work/out.LOC --log $work/ERR.LOG")
report "CII to local" 2.0 "$local" "$base" "$peak"
lines=$(wc -l < "$work/out0101.LOC")
echo "    $lines local lines written"
big="$work/bench-big.CII"
"$bin" gen-cii "$big" $(( megabytes * 3 )) S
read -r _ bigpeak < <(measure bash -c "rm -f $work/big*.LOC; $tool to-local --db sqlite:$work/bench.sqlite --in $big --out $work/big.LOC --log $work/ERR.LOG")
echo "    peak memory: $(( peak / 1024 )) MB at ${megabytes} MB input, $(( bigpeak / 1024 )) MB at $(( megabytes * 3 )) MB input (target: flat, < 64 MB)"
rm -f "$big" "$work"/big*.LOC
