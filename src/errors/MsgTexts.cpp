#include "errors/MsgTexts.h"

namespace U_Msg2User {

namespace {

TErrorContext g_ctx;

struct MsgText {
    quint8 category;
    quint16 code;
    const char *text; // UTF-8
};

constexpr MsgText kTexts[] = {
    {2, 0, "Exception"},
    {3, 0, "SEQ OK"},
    {3, 1, "Pas d'initialisation du SEQ ou échec"},
    {3, 2, "Initialisation du SEQ a échoué"},
    {3, 3, "Pas d'initialisation du SEQ"},
    {5, 0, "TRACE OK"},
    {5, 1, "TRACE : initialisation"},
    {5, 2, "TRACE : programme principal"},
    {5, 3, "TRACE : procédure"},
    {5, 4, "TRACE : fonction"},
    {5, 5, "TRACE : procédure événement"},
    {6, 0, "PARAM OK"},
    {6, 1, "Dépassement de type par excès"},
    {6, 2, "Dépassement de type par défaut"},
    {6, 3, "Dépassement limite autorisée par excès"},
    {6, 4, "Dépassement limite autorisée par défaut"},
    {6, 5, "Pointer non valide"},
    {7, 0, "FILE_ACCES OK"},
    {7, 1, "Le Fichier existe (déjà)"},
    {7, 2, "Le fichier n'existe pas"},
    {7, 3, "Mauvais nom de fichier"},
    {7, 4, "Le chargement du fichier a échoué"},
    {7, 5, "La sauvegarde du fichier a échoué"},
    {7, 6, "La création du fichier a échoué"},
    {7, 7, "L'ouverture du fichier a échoué"},
    {7, 8, "La fermeture du fichier a échoué"},
    {7, 9, "La copie du fichier a échoué"},
    {7, 10, "Le changement de nom du fichier a échoué"},
    {7, 11, "La suppression du fichier a échoué"},
    {7, 12, "L'écriture du fichier a échoué"},
    {7, 13, "La lecture du fichier a échoué"},
    {7, 14, "Le répertoire existe (déjà)"},
    {7, 15, "Le répertoire n'existe pas"},
    {7, 16, "Le changement de répertoire a échoué"},
    {7, 17, "La création du répertoire a échoué"},
    {7, 18, "La suppression du répertoire a échoué, <pas vide ?>"},
    {7, 19, "La destruction du répertoire a échoué"},
    {7, 20, "Le changement de nom du répertoire a échoué"},
    {8, 0, "MEMORY OK"},
    {8, 1, "Pas assez de mémoire"},
    {8, 2, "Pointeur non valide"},
    {8, 3, "Allocation dynamique a échoué"},
    {8, 4, "Libération dynamique a échoué"},
    {9, 0, "Dépassement nombre par excès"},
    {9, 1, "Dépassement nombre par défaut"},
    {10, 0, "BUFFER OK"},
    {10, 1, "Echec de PInit"},
    {10, 2, "Echec de FAlloc"},
    {10, 3, "L'objet n'est pas en mode SHARE"},
    {10, 4, "Pas assez de buffers"},
    {10, 5, "Buffer non utilisé"},
    {10, 6, "Buffer plein"},
    {10, 7, "Buffer pas plein"},
    {10, 8, "Buffer pas trouvé"},
    {10, 9, "Buffer verrouillé"},
    {10, 10, "Buffer pas prêt"},
    {10, 11, "Buffer en dérrangement"},
    {10, 12, "Taille de buffer trop grande"},
    {11, 12, "Pas assez de contextes"},
    {11, 13, "La création du contexte a échoué"},
    {11, 14, "La libération du contexte a échoué"},
    {11, 15, "Contexte (déjà) utilisé"},
    {11, 16, "Pointeur de contexte non valide"},
    {11, 17, "La création de l'index a échoué"},
    {11, 18, "L'initialisation de l'index a échoué"},
    {11, 19, "Pointeur d'index non valide"},
    {11, 20, "Indexe non valide"},
    {11, 21, "L'indexe n'est pas à jour"},
    {11, 22, "ID non valide"},
    {11, 23, "Pas trouvé"},
    {11, 24, "Pas de tableau d'ordre"},
    {12, 0, "SCREEN OK"},
    {13, 0, "SOUNDB OK"},
    {13, 1, "Pas de carte son"},
};

} // namespace

TErrorContext &context() { return g_ctx; }

int FTextCount() { return int(std::size(kTexts)); }

TErrorContext &FInit(bool active, bool trace, quint8 destination)
{
    FInitErrCtx(g_ctx, QString(), QStringLiteral("U_Msg2User"));
    PSetSwitches(g_ctx, active, trace, destination);
    TSubGuard sub(g_ctx, QStringLiteral("FInit"));
    for (const MsgText &t : kTexts)
        if (FAddMsgU(t.category, t.code, QString::fromUtf8(t.text)))
            return sub.report(8, QStringLiteral("FAddMsgU"), 1);
    return sub.report(0);
}

} // namespace U_Msg2User
