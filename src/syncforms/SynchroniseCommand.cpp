#include "SynchroniseCommand.h"

#include "ActionFileActions.h"
#include "ActionFileNames.h"
#include "AppError.h"
#include "PasswordStore.h"
#include "SyncAccountFile.h"
#include "Synchroniser.h"
#include "TDataModuleMain.h"
#include "TSettings.h"
#include "UiServices.h"

#include <QProgressDialog>

namespace {
const QString kCaption = QStringLiteral("Synchronise");
}

bool SynchroniseActionFile(TDataModuleMain &data, QWidget *parent)
{
    const QString actFile = data.Tables.FileName();
    TSyncAccountSettings account;
    QString password, error;
    try {
        account =
            LoadSyncAccount(SyncAccountFileName(AuxiliaryFolder(actFile, Settings().Folders.Auxiliary)));
        if (account.IsEmpty())
            throw AppError(QStringLiteral("This Action File has no task list yet: choose one under File > "
                                          "Synchronise Settings."));
        std::optional<QString> kept;
        try {
            kept = ReadPassword(account.url, account.user);
        } catch (const AppError &failure) {
            error = failure.message();
        }
        if (!kept)
            throw AppError(
                QStringLiteral("No password for %1 is in the keyring%2: enter it under File > "
                               "Synchronise Settings.")
                    .arg(account.user, error.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(error)));
        password = *kept;
    } catch (const AppError &failure) {
        Ui().MessageBox(failure.message(), kCaption, MB_OK | MB_ICONERROR);
        return false;
    }

    QProgressDialog progress(QStringLiteral("Synchronising…"), QStringLiteral("Cancel"), 0, 0, parent);
    progress.setObjectName(QStringLiteral("FormSynchronise"));
    progress.setWindowTitle(kCaption);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    TActionFileActions local(data);
    TSynchroniser synchroniser({QUrl(account.url), account.user, password, account.plainHttpConfirmed},
                               SyncStateFileName(AuxiliaryFolder(actFile, Settings().Folders.Auxiliary)),
                               local);
    QObject::connect(&progress, &QProgressDialog::canceled, &progress, [&] { synchroniser.Cancel(); });
    synchroniser.SetProgress([&](TSyncStep step, qint64 done, qint64 total) {
        switch (step) {
        case TSyncStep::Reading:
            progress.setLabelText(QStringLiteral("Reading the server's changes…"));
            break;
        case TSyncStep::Applying:
            progress.setLabelText(QStringLiteral("Changing the Action File…"));
            break;
        case TSyncStep::Sending:
            progress.setLabelText(QStringLiteral("Sending to the server: %1 of %2").arg(done).arg(total));
            break;
        }
        // Bytes of an answer may pass what an int counts.
        const bool counted = step == TSyncStep::Sending && total > 0;
        progress.setMaximum(counted ? int(total) : 0);
        progress.setValue(counted ? int(done) : 0);
    });
    TSyncResult result;
    {
        BusyCursor busy;
        result = synchroniser.Run();
    }
    progress.close();
    if (result.ok)
        Ui().MessageBox(result.summary.Text(), kCaption, MB_OK | MB_ICONINFORMATION);
    else
        Ui().MessageBox(
            QStringLiteral("The synchronisation did not complete: %1\n\n%2\n\nWhat was done is kept; "
                           "the next synchronisation completes it.")
                .arg(result.error, result.summary.Text()),
            kCaption, MB_OK | MB_ICONERROR);
    return true;
}
