@echo off
setlocal
rem Spectate a live game (stand-in batch for tests)
cd /d "%~dp0"

if exist "League of Legends.exe" (
	@start "" "League of Legends.exe" "spectator 127.0.0.1:8080 key 123 KR" "-UseRads" "-Locale=ko_KR" "-GameBaseDir=.."
	goto :eof
)

rem The client is not here: look for it in the usual install folders.
set "GAME_DIR="
for %%d in ("C:\League of Legends\Game" "%ProgramFiles%\League of Legends\Game" "%ProgramFiles(x86)%\League of Legends\Game") do (
	if exist "%%~d\League of Legends.exe" set "GAME_DIR=%%~d"
)
if "%GAME_DIR%"=="" (
	echo League of Legends was not found. Put this file in the Game folder.
	pause
	goto :eof
)
cd /d "%GAME_DIR%"
@start "" "League of Legends.exe" "spectator 127.0.0.1:8080 key 123 KR" "-UseRads" "-Locale=ko_KR" "-GameBaseDir=.."
