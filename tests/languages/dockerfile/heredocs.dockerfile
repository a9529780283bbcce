# syntax=docker/dockerfile:1
FROM debian:bookworm-slim

RUN <<EOF
set -eux
apt-get update
apt-get install -y --no-install-recommends ca-certificates curl
rm -rf /var/lib/apt/lists/*
EOF

RUN <<-"SCRIPT" bash
	echo "tabs stripped: $HOME"
	for i in 1 2 3; do
		echo "$i"
	done
	SCRIPT

COPY <<CONF /etc/app/app.conf
listen = 0.0.0.0:80
workers = 4
CONF

COPY <<A <<B /opt/
first file
A
second file
B

RUN python3 <<PY
print("hello  from   python")
PY
CMD echo done
