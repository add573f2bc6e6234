# XML to CII over a generated document, against xmllint --noout over the same
# file; peak memory on a 200 MB document must stay under 64 MB.
xml="$work/bench.xml"
"$bin" gen-xml "$xml" "$megabytes"
read -r lint lintpeak < <(measure xmllint --noout "$xml")
read -r fromxml peak < <(measure bash -c "rm -f $work/fromxml.CII; $tool from-xml --db sqlite:$work/bench.sqlite --in $xml --out $work/fromxml.CII --log $work/ERR.LOG")
report "XML to CII" 1.0 "$fromxml" "$lint" "$peak"
echo "    xmllint --noout peak $(( lintpeak / 1024 )) MB; CII written: $(( $(stat -c %s "$work/fromxml.CII") / 1048576 )) MB"
"$bin" gen-xml "$work/big.xml" 200
read -r _ bigpeak < <(measure bash -c "rm -f $work/big.CII; $tool from-xml --db sqlite:$work/bench.sqlite --in $work/big.xml --out $work/big.CII --log $work/ERR.LOG")
echo "    peak memory on a 200 MB document: $(( bigpeak / 1024 )) MB (target < 64 MB)"
rm -f "$work/big.xml" "$work/big.CII"
