# escape=`

FROM mcr.microsoft.com/windows/servercore:ltsc2022
SHELL ["powershell", "-Command", "$ErrorActionPreference = 'Stop';"]
WORKDIR C:\app
COPY app\ C:\app\
RUN Write-Host 'installing'; `
    Invoke-WebRequest -Uri https://example.com/tool.zip -OutFile tool.zip; `
    Expand-Archive tool.zip -DestinationPath C:\tools; `
    Remove-Item tool.zip
ENV PATH="C:\tools;C:\Windows\system32"
ENTRYPOINT ["C:\\app\\app.exe"]
