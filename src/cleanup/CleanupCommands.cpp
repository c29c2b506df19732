#include "CleanupCommands.h"

int previewCommand(AppSettings &, QTextStream &, QTextStream &err, const Clock &)
{
    err << "quillbrook: --preview is not available yet\n";
    return 1;
}

int putBackCommand(AppSettings &, QTextStream &, QTextStream &err, const Clock &)
{
    err << "quillbrook: --put-back is not available yet\n";
    return 1;
}
