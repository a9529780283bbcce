# syntax=docker/dockerfile:1.7
# check=skip=JSONArgsRecommended

ARG GO_VERSION=1.22
FROM golang:${GO_VERSION}-bookworm AS build
WORKDIR /src
ENV CGO_ENABLED=0 \
    GOFLAGS="-trimpath -mod=readonly"
COPY go.mod go.sum ./
RUN --mount=type=cache,target=/go/pkg/mod \
    go mod download
COPY . .
RUN --mount=type=cache,target=/root/.cache/go-build \
    go build -ldflags="-s -w" -o /out/app ./cmd/app

FROM build AS test
RUN go test ./... && \
    go vet ./...

FROM gcr.io/distroless/static:nonroot
LABEL org.opencontainers.image.title="app" \
      org.opencontainers.image.description="A small service, built in two stages"
COPY --from=build /out/app /usr/local/bin/app
USER nonroot:nonroot
EXPOSE 8080/tcp
HEALTHCHECK --interval=30s --timeout=3s CMD ["/usr/local/bin/app", "health"]
ENTRYPOINT ["/usr/local/bin/app"]
CMD ["serve", "--addr", ":8080"]
